// SPDX-License-Identifier: MIT
// Where a new handle takes its engine settings from.
#include "engine_settings_file.h"

#include <dlfcn.h>

#include <atomic>
#include <system_error>

#include "print_message.h"

namespace telo {

namespace {

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

/// The folder of the loaded library with symbolic links resolved, so that the relative step to
/// the data folder goes where the file system would take it (/lib is a link to /usr/lib on
/// Debian). Empty when the loader cannot tell.
std::filesystem::path libraryDir() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&libraryDir), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    std::filesystem::path dir =
        std::filesystem::canonical(std::filesystem::path(info.dli_fname).parent_path(), error);
    return error ? std::filesystem::path() : dir;
}

}  // namespace

std::string engineSettingsFile(const char* workingPath) {
    const std::filesystem::path dir = libraryDir();
    return engineSettingsFile(workingPath, dir.empty() ? dir : dir / TELO_LIBRARY_TO_SETTINGS);
}

std::string engineSettingsFile(const char* workingPath,
                               const std::filesystem::path& installedCopy) {
    if (isFile(workingPath)) {
        return workingPath;
    }
    if (isFile(installedCopy)) {
        return installedCopy.lexically_normal().string();
    }
    // Callers retry create in a loop; one line is enough.
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::error_code error;
        const std::filesystem::path working = std::filesystem::absolute(workingPath, error);
        PrintMessage("engine settings not found: tried %s and %s\n", working.c_str(),
                     installedCopy.empty() ? "(no installed copy known)"
                                           : installedCopy.lexically_normal().c_str());
    }
    return workingPath;
}

}  // namespace telo
