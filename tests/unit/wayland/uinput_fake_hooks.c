/* SPDX-License-Identifier: MIT */
/* The libc entry points the fake /dev/uinput takes over, in C so that the definitions match
 * libc's declarations; the work is done in uinput_fake.cpp. */
#define _GNU_SOURCE
#include "libc_hook_arguments.h"

int fakeuinput_open(const char* path, int flags, mode_t mode);
int fakeuinput_close(int fd);
int fakeuinput_ioctl(int fd, unsigned long request, void* argument);
ssize_t fakeuinput_write(int fd, const void* buffer, size_t size);

int open(const char* path, int flags, ...) {
    HOOK_OPEN_MODE(flags, mode);
    return fakeuinput_open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    HOOK_OPEN_MODE(flags, mode);
    return fakeuinput_open(path, flags, mode);
}

int close(int fd) {
    return fakeuinput_close(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    HOOK_IOCTL_ARGUMENT(request, argument);
    return fakeuinput_ioctl(fd, request, argument);
}

ssize_t write(int fd, const void* buffer, size_t size) {
    return fakeuinput_write(fd, buffer, size);
}
