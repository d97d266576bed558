// SPDX-License-Identifier: MIT
#include "print_message.h"

#include <cstdarg>
#include <cstdio>

namespace telo {

void PrintMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    // Flushed per line so that a reader on a pipe sees each line as it happens.
    std::fflush(stdout);
}

}  // namespace telo
