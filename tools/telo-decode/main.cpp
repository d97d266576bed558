// SPDX-License-Identifier: MIT
// telo-decode: decodes image files the way telo_scanner_decode decodes camera frames.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "decode/frame_decoder.h"
#include "decode/symbology_table.h"
#include "engine/barcode_engine.h"
#include "engine_settings_file.h"
#include "escape_bytes.h"
#include "executable_dir.h"
#include "image_frame.h"
#include "standard_output.h"

namespace {

constexpr char kProgram[] = "telo-decode";
constexpr int kExitAllDecoded = 0;
constexpr int kExitSomeNotDecoded = 1;
constexpr int kExitUnreadable = 3;

constexpr char kUsage[] =
    "Usage: telo-decode [OPTION]... IMAGE...\n"
    "Decodes each image (PNG, JPEG or PGM, at most 50 megapixels) as the scanner library\n"
    "decodes a camera frame, and prints one tab-separated line per image that could be read:\n"
    "  NAME TYPE LENGTH MILLISECONDS DATA    or    NAME none\n"
    "NAME and DATA are escaped: \\\\, \\t, \\n, \\r, and \\xHH for other bytes that are not\n"
    "printable ASCII. The library's own lines go to standard error.\n"
    "\n"
    "  --settings FILE     engine settings (default: etc/qr_balance.json in the working\n"
    "                      folder, else the copy installed with libtelo)\n"
    "  --symbologies LIST  symbology indices 0-17 to enable instead of the settings' own,\n"
    "                      separated by commas, e.g. 1,3,16\n"
    "  --raw               print only the bytes of each code found, as they are, each\n"
    "                      followed by a line feed\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Exit status: 0 a code in every image, 1 some image without a code, 2 a wrong command\n"
    "line or unusable settings, 3 some image unreadable or too large.\n";

struct Options {
    std::string settingsPath;
    std::vector<std::int32_t> symbologies;
    bool raw = false;
    std::vector<std::string> images;
};

bool parseSymbologies(const std::string& list, std::vector<std::int32_t>& indices) {
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const auto index = telo::tools::parseNumber(item, 0, telo::kSymbologyCount - 1);
        if (!index) {
            return false;
        }
        indices.push_back(static_cast<std::int32_t>(*index));
    }
    return !indices.empty() && list.back() != ',';
}

/// Fills `options` from the command line; an error text, or empty on success.
std::string parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--settings" || argument == "--symbologies") {
            if (i + 1 >= argc) {
                return std::string(argument) + " needs a value";
            }
            const std::string value = argv[++i];
            if (argument == "--settings") {
                options.settingsPath = value;
            } else if (!parseSymbologies(value, options.symbologies)) {
                return "--symbologies takes indices 0 to 17 separated by commas, not '" + value +
                       "'";
            }
        } else if (argument == "--raw") {
            options.raw = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return "unknown option '" + std::string(argument) + "'";
        } else {
            options.images.emplace_back(argument);
        }
    }
    return options.images.empty() ? "no image given" : "";
}

/// The settings a handle created in the working folder would load, found from this program's
/// folder when they are not in the working folder.
std::string defaultSettingsPath() {
    const std::filesystem::path dir = telo::tools::executableDir();
    return telo::engineSettingsFile("etc/qr_balance.json",
                                    dir.empty() ? dir : dir / TELO_PROGRAM_TO_SETTINGS);
}

}  // namespace

int main(int argc, char** argv) {
    if (telo::tools::answerHelpOrVersion(argc, argv, kProgram, kUsage)) {
        return 0;
    }
    Options options;
    if (std::string problem = parseArguments(argc, argv, options); !problem.empty()) {
        return telo::tools::usageError(kProgram, problem);
    }
    FILE* out = telo::tools::separateLibraryLines(telo::tools::LibraryLines::kToStandardError);

    std::unique_ptr<telo::engine::BarcodeEngine> engine = telo::engine::BarcodeEngine::create();
    if (!engine) {
        std::fprintf(stderr, "telo-decode: cannot create the barcode engine\n");
        return telo::tools::kExitUsage;
    }
    const std::string settingsPath =
        options.settingsPath.empty() ? defaultSettingsPath() : options.settingsPath;
    std::string errorText;
    if (engine->loadSettingsFromFile(settingsPath.c_str(), errorText) != telo::engine::kOk) {
        std::fprintf(stderr, "telo-decode: %s\n", errorText.c_str());
        return telo::tools::kExitUsage;
    }
    std::mutex engineMutex;
    if (!options.symbologies.empty()) {
        bool accepted = telo::addSymbologyType(*engine, engineMutex, 0, false);
        for (std::int32_t index : options.symbologies) {
            accepted = accepted && telo::addSymbologyType(*engine, engineMutex, index, true);
        }
        if (!accepted) {
            std::fprintf(stderr, "telo-decode: the engine refused the symbology selection\n");
            return telo::tools::kExitUsage;
        }
    }

    int exitCode = kExitAllDecoded;
    std::vector<std::uint8_t> frame;
    for (const std::string& path : options.images) {
        const std::string name = telo::tools::escapeBytes(path);
        if (!telo::tools::loadImageAsFrame(path, telo::kGreyWidth, telo::kGreyHeight, frame,
                                           errorText)) {
            std::fprintf(stderr, "telo-decode: %s: %s\n", name.c_str(), errorText.c_str());
            exitCode = kExitUnreadable;
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        Symbol* symbol = telo::decodeFrame(*engine, engineMutex, frame.data(),
                                           static_cast<std::int32_t>(frame.size()),
                                           telo::kGreyWidth, telo::kGreyHeight);
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        const std::string_view bytes =
            symbol ? std::string_view(symbol->text, static_cast<std::size_t>(symbol->length))
                   : std::string_view();
        if (symbol == nullptr) {
            exitCode = std::max(exitCode, kExitSomeNotDecoded);
            if (!options.raw) {
                std::fprintf(out, "%s\tnone\n", name.c_str());
            }
        } else if (options.raw) {
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fputc('\n', out);
        } else {
            std::fprintf(out, "%s\t%d\t%d\t%.1f\t%s\n", name.c_str(), symbol->type, symbol->length,
                         elapsed.count(), telo::tools::escapeBytes(bytes).c_str());
        }
        telo_symbol_destroy(symbol);
    }
    return exitCode;
}
