// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <charconv>
#include <cstdio>

#include "telo_constants.h"

namespace telo::tools {

bool answerHelpOrVersion(int argc, char** argv, const char* program, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(usage, stdout);
            return true;
        }
        if (argument == "--version") {
            std::printf("%s %s\n", program, TELO_VERSION);
            return true;
        }
    }
    return false;
}

int usageError(const char* program, const std::string& problem) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program,
                 problem.c_str(), program);
    return kExitUsage;
}

std::optional<long> parseNumber(std::string_view text, long min, long max) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || stop != end || error != std::errc() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace telo::tools
