// telo-decode: decodes image files the way telo_scanner_decode decodes camera frames.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "decode/frame_decoder.h"
#include "decode/symbology_table.h"
#include "engine/barcode_engine.h"
#include "escape_bytes.h"
#include "executable_dir.h"
#include "image_frame.h"

namespace {

constexpr int kExitAllDecoded = 0;
constexpr int kExitSomeNotDecoded = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: telo-decode [--settings FILE] [--symbologies LIST] IMAGE...\n"
    "  --settings FILE     engine settings (default: etc/qr_balance.json beside this program)\n"
    "  --symbologies LIST  comma-separated symbology indices 0-17 to enable instead of the\n"
    "                      template's formats, e.g. 1,3,16\n"
    "Prints one line per image: NAME, then 'none' or TYPE LENGTH MILLISECONDS DATA, "
    "tab-separated.\n";

struct Options {
    std::string settingsPath;
    std::vector<std::int32_t> symbologies;
    bool symbologiesGiven = false;
    std::vector<std::string> images;
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "telo-decode: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool ParseSymbologies(const std::string& list, std::vector<std::int32_t>& indices) {
    std::stringstream stream(list);
    std::string item;
    while (std::getline(stream, item, ',')) {
        char* end = nullptr;
        const long index = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' ||
            !telo::IsSymbologyIndex(static_cast<std::int32_t>(index)) ||
            index != static_cast<std::int32_t>(index)) {
            return false;
        }
        indices.push_back(static_cast<std::int32_t>(index));
    }
    return !indices.empty();
}

/// Fills `options` from the command line; an error text, or empty on success.
std::string ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--settings" || argument == "--symbologies") {
            if (i + 1 >= argc) {
                return std::string(argument) + " needs a value";
            }
            const std::string value = argv[++i];
            if (argument == "--settings") {
                options.settingsPath = value;
            } else if (!ParseSymbologies(value, options.symbologies)) {
                return "--symbologies takes indices 0 to 17 separated by commas, not \"" + value +
                       "\"";
            } else {
                options.symbologiesGiven = true;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            return "unknown option " + std::string(argument);
        } else {
            options.images.emplace_back(argument);
        }
    }
    if (options.images.empty()) {
        return "no image given";
    }
    if (options.settingsPath.empty()) {
        options.settingsPath = (telo::tools::ExecutableDir() / "etc" / "qr_balance.json").string();
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (std::string problem = ParseArguments(argc, argv, options); !problem.empty()) {
        return UsageError(problem);
    }

    std::unique_ptr<telo::engine::BarcodeEngine> engine = telo::engine::BarcodeEngine::Create();
    if (!engine) {
        std::fprintf(stderr, "telo-decode: cannot create the barcode engine\n");
        return kExitUsage;
    }
    std::string errorText;
    if (engine->LoadSettingsFromFile(options.settingsPath.c_str(), errorText) !=
        telo::engine::kOk) {
        std::fprintf(stderr, "telo-decode: %s\n", errorText.c_str());
        return kExitUsage;
    }
    std::mutex engineMutex;
    if (options.symbologiesGiven) {
        bool accepted = telo::AddSymbologyType(*engine, engineMutex, 0, false);
        for (std::int32_t index : options.symbologies) {
            accepted = accepted && telo::AddSymbologyType(*engine, engineMutex, index, true);
        }
        if (!accepted) {
            std::fprintf(stderr, "telo-decode: the engine refused the symbology selection\n");
            return kExitUsage;
        }
    }

    int exitCode = kExitAllDecoded;
    std::vector<std::uint8_t> frame;
    for (const std::string& path : options.images) {
        const std::string name = telo::tools::EscapeBytes(path);
        if (!telo::tools::LoadImageAsFrame(path, telo::kGreyWidth, telo::kGreyHeight, frame,
                                           errorText)) {
            std::fprintf(stderr, "telo-decode: %s: %s\n", path.c_str(), errorText.c_str());
            std::printf("%s\tnone\n", name.c_str());
            exitCode = kExitSomeNotDecoded;
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        Symbol* symbol = telo::DecodeFrame(*engine, engineMutex, frame.data(),
                                           static_cast<std::int32_t>(frame.size()),
                                           telo::kGreyWidth, telo::kGreyHeight);
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        if (symbol == nullptr) {
            std::printf("%s\tnone\n", name.c_str());
            exitCode = kExitSomeNotDecoded;
            continue;
        }
        const std::string data = telo::tools::EscapeBytes(
            std::string_view(symbol->text, static_cast<std::size_t>(symbol->length)));
        std::printf("%s\t%d\t%d\t%.1f\t%s\n", name.c_str(), symbol->type, symbol->length,
                    elapsed.count(), data.c_str());
        std::free(symbol->text);
        std::free(symbol);
    }
    return exitCode;
}
