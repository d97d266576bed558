// SPDX-License-Identifier: MIT
#include "executable_dir.h"

#include <system_error>

namespace telo::tools {

std::filesystem::path executableDir() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

}  // namespace telo::tools
