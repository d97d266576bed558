// SPDX-License-Identifier: MIT
#ifndef TELO_TOOLS_COMMON_COMMAND_LINE_H
#define TELO_TOOLS_COMMON_COMMAND_LINE_H

#include <optional>
#include <string>
#include <string_view>

namespace telo::tools {

/// Exit status of a command line that cannot be used.
inline constexpr int kExitUsage = 2;

/// Answers -h or --help with `usage`, and --version with "PROGRAM VERSION", on standard output.
/// True when either was among the arguments: the program then ends with status 0.
bool answerHelpOrVersion(int argc, char** argv, const char* program, const char* usage);

/// Says on standard error what is wrong with the command line and where help is; kExitUsage.
int usageError(const char* program, const std::string& problem);

/// A whole decimal number from `min` to `max`; nullopt for anything else ("", "+1", "1x", "-").
std::optional<long> parseNumber(std::string_view text, long min, long max);

}  // namespace telo::tools

#endif
