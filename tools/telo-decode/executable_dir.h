// SPDX-License-Identifier: MIT
#ifndef TELO_TOOLS_TELO_DECODE_EXECUTABLE_DIR_H
#define TELO_TOOLS_TELO_DECODE_EXECUTABLE_DIR_H

#include <filesystem>

namespace telo::tools {

/// The folder holding the running program, or empty when the system cannot tell.
std::filesystem::path executableDir();

}  // namespace telo::tools

#endif
