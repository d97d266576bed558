// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace telo::tools {

/// The folder holding the running program, or empty when the system cannot tell.
std::filesystem::path ExecutableDir();

}  // namespace telo::tools
