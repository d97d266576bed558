// SPDX-License-Identifier: MIT
#ifndef TELO_PRINT_MESSAGE_H
#define TELO_PRINT_MESSAGE_H

namespace telo {

/// Writes one diagnostic line, printf-style, to standard output: no prefix, no time stamp.
void PrintMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace telo

#endif
