/* SPDX-License-Identifier: MIT */
/* The libc entry points that the simulated scanner takes over. Written in C so that the
 * definitions match libc's declarations whatever the C++ exception specifications say;
 * the work is done in sim_interposer.cpp. */
#define _GNU_SOURCE
#include <poll.h>

#include "libc_hook_arguments.h"

int telosim_openat(int dirfd, const char* path, int flags, mode_t mode);
int telosim_close(int fd);
int telosim_ioctl(int fd, unsigned long request, void* argument);
int telosim_poll(struct pollfd* fds, nfds_t count, int timeout);

int open(const char* path, int flags, ...) {
    HOOK_OPEN_MODE(flags, mode);
    return telosim_openat(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    HOOK_OPEN_MODE(flags, mode);
    return telosim_openat(AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    HOOK_OPEN_MODE(flags, mode);
    return telosim_openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    HOOK_OPEN_MODE(flags, mode);
    return telosim_openat(dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
    return telosim_openat(AT_FDCWD, path, flags, 0);
}
int __open64_2(const char* path, int flags) {
    return telosim_openat(AT_FDCWD, path, flags, 0);
}

int close(int fd) {
    return telosim_close(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    HOOK_IOCTL_ARGUMENT(request, argument);
    return telosim_ioctl(fd, request, argument);
}

int poll(struct pollfd* fds, nfds_t count, int timeout) {
    return telosim_poll(fds, count, timeout);
}
