#include "print_message.h"

#include <cstdarg>
#include <cstdio>

namespace telo {

void PrintMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

}  // namespace telo
