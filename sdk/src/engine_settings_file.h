// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_SETTINGS_FILE_H
#define TELO_ENGINE_SETTINGS_FILE_H

#include <filesystem>
#include <string>

namespace telo {

/// The engine settings file to load: `workingPath` (relative to the working directory) when it
/// is there, else the copy installed with libtelo, found from the library's own folder so that
/// a moved installation finds it too. When neither is there, says once per process on standard
/// output which paths it tried, and returns `workingPath`, whose loading then fails.
std::string engineSettingsFile(const char* workingPath);

/// The same with the installed copy given, for programs built with the library's objects.
std::string engineSettingsFile(const char* workingPath, const std::filesystem::path& installedCopy);

}  // namespace telo

#endif
