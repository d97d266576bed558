// SPDX-License-Identifier: MIT
#include "v4l2_device.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "print_message.h"

namespace telo {

int deviceIoctl(int fd, unsigned long request, void* argument, const char* name, bool quiet) {
    while (::ioctl(fd, request, argument) < 0) {
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (!quiet && error != EAGAIN && error != ENODEV) {
            PrintMessage("%s: %s\n", name, std::strerror(error));
        }
        return -error;
    }
    return 0;
}

}  // namespace telo
