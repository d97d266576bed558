/* SPDX-License-Identifier: MIT */
/* The libc entry points the fake /dev/uinput takes over, in C so that the definitions match
 * libc's declarations; the work is done in uinput_fake.cpp. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdarg.h>
#include <sys/types.h>

int fakeuinput_open(const char* path, int flags, mode_t mode);
int fakeuinput_close(int fd);
int fakeuinput_ioctl(int fd, unsigned long request, void* argument);
ssize_t fakeuinput_write(int fd, const void* buffer, size_t size);

static mode_t mode_argument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_argument(flags, args);
    va_end(args);
    return fakeuinput_open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = mode_argument(flags, args);
    va_end(args);
    return fakeuinput_open(path, flags, mode);
}

int close(int fd) {
    return fakeuinput_close(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    return fakeuinput_ioctl(fd, request, argument);
}

ssize_t write(int fd, const void* buffer, size_t size) {
    return fakeuinput_write(fd, buffer, size);
}
