// SPDX-License-Identifier: MIT
#ifndef TELO_V4L2_DEVICE_H
#define TELO_V4L2_DEVICE_H

namespace telo {

/// The video-input devices' sysfs class folder.
inline constexpr const char kVideoClassDir[] = "/sys/class/video4linux";

/// ioctl(2), repeated when a signal interrupts it: 0, or the negative errno. A failure is printed
/// with the request's name, except EAGAIN (nothing to dequeue yet), ENODEV (the device went away,
/// which the connection monitor reports) and every failure of a `quiet` request.
int deviceIoctl(int fd, unsigned long request, void* argument, const char* name, bool quiet);

}  // namespace telo

/// deviceIoctl named after its request.
#define TELO_IOCTL(fd, request, argument) \
    ::telo::deviceIoctl(fd, request, argument, #request, false)

#endif
