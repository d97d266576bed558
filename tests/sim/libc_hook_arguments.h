/* SPDX-License-Identifier: MIT */
/* The variadic arguments of libc's open and ioctl families, for the C files that take those
 * calls over. Each macro is used at the top of the variadic function itself. */
#ifndef OSTRELSCAN_TESTS_SIM_LIBC_HOOK_ARGUMENTS_H
#define OSTRELSCAN_TESTS_SIM_LIBC_HOOK_ARGUMENTS_H

#include <fcntl.h>
#include <stdarg.h>
#include <sys/types.h>

/* Declares `mode`: open's third argument, which exists only with O_CREAT or O_TMPFILE. */
#define HOOK_OPEN_MODE(flags, mode)            \
    mode_t mode = 0;                           \
    if ((flags) & (O_CREAT | O_TMPFILE)) {     \
        va_list hook_arguments;                \
        va_start(hook_arguments, flags);       \
        mode = va_arg(hook_arguments, mode_t); \
        va_end(hook_arguments);                \
    }

/* Declares `argument`: ioctl's third argument, a pointer for every request the hooks serve. */
#define HOOK_IOCTL_ARGUMENT(request, argument)      \
    va_list hook_arguments;                         \
    va_start(hook_arguments, request);              \
    void* argument = va_arg(hook_arguments, void*); \
    va_end(hook_arguments)

#endif
