// SPDX-License-Identifier: MIT
#ifndef TELO_TOOLS_COMMON_STANDARD_OUTPUT_H
#define TELO_TOOLS_COMMON_STANDARD_OUTPUT_H

#include <cstdio>

namespace telo::tools {

/// Where the library's diagnostic lines go instead of standard output.
enum class LibraryLines { kToStandardError, kDiscarded };

/// Keeps standard output for the program's own lines: descriptor 1, where the library prints its
/// diagnostics, goes to standard error or nowhere from now on, and the returned stream writes to
/// the original standard output (stdout itself when the descriptors cannot be set up). Call it
/// once, before anything is written to stdout.
FILE* separateLibraryLines(LibraryLines lines);

}  // namespace telo::tools

#endif
