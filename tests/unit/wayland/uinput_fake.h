// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_UINPUT_FAKE_H
#define OSTRELSCAN_TESTS_UINPUT_FAKE_H

#include <linux/input.h>

#include <functional>
#include <string>
#include <vector>

/// /dev/uinput as the kernel presents it, at the system-call boundary (open, ioctl, write,
/// close linked over libc's): one device is set up with UI_SET_*BIT and UI_DEV_SETUP, created
/// with UI_DEV_CREATE and named by UI_GET_SYSNAME; events written to it are kept only when
/// the kernel would pass them on (a created device, whole input_event records, keys it
/// declared, a change of the key's state); the lock LEDs reach the writer as EV_LED events to
/// read, as the compositor sets them.
namespace fake_uinput {

struct Device {
    std::string name;
    bool created = false;
    bool destroyed = false;
    std::vector<input_event> events;  ///< EV_KEY and EV_SYN events passed on, in order
};

/// The device last opened.
const Device& device();
/// Makes opening /dev/uinput fail with error (ENOENT, EACCES), or succeed again with 0.
void failOpen(int error);
/// Sets the device's Caps Lock and Num Lock LEDs.
void setLeds(bool capsLock, bool numLock);
/// Calls watcher, on the writing thread, with each key event passed on.
void watch(std::function<void(const input_event&)> watcher);

}  // namespace fake_uinput

#endif
