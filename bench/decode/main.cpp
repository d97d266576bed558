// SPDX-License-Identifier: MIT
// bench-decode: decode rate, wrong reads and time per frame of our decoder beside ZXing-C++ at
// default hints and ZBar, over a corpus of frames rendered the way a handheld camera scanner
// sees labels (see corpus.h), per symbology and per condition.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "corpus.h"
#include "decoders.h"
#include "report.h"
#include "symbologies.h"

namespace {

constexpr int kDefaultFramesPerCell = 3;
/// A decode may run this far past the template's time-out.
constexpr double kTimeoutAllowanceMs = 10;

int usage() {
    std::fprintf(stderr,
                 "usage: bench-decode [--frames N] [--settings FILE] [--failures] [--save DIR]\n"
                 "                    [--save-all DIR] [--only TEXT]\n"
                 "  --frames N       frames per symbology and condition (default %d)\n"
                 "  --settings FILE  engine settings (default: etc/qr_balance.json beside it)\n"
                 "  --failures       list the frames we miss, misread or decode late\n"
                 "  --save DIR       write those frames there as PGM files\n"
                 "  --save-all DIR   write every frame there as a PGM file\n"
                 "  --only TEXT      only the frames whose name holds TEXT (symbology/condition)\n",
                 kDefaultFramesPerCell);
    return 2;
}

/// Bytes as printable text: controls and non-ASCII as \xNN.
std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out;
}

void savePgm(const std::filesystem::path& folder, const telo::bench::Frame& frame) {
    std::string name = frame.name;
    for (char& c : name) {
        c = (c == '/' || c == ' ') ? '_' : c;
    }
    std::ofstream file(folder / (name + ".pgm"), std::ios::binary);
    file << "P5\n" << telo::bench::kFrameWidth << " " << telo::bench::kFrameHeight << "\n255\n";
    file.write(reinterpret_cast<const char*>(frame.grey.data()),
               static_cast<std::streamsize>(frame.grey.size()));
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace telo::bench;
    int perCell = kDefaultFramesPerCell;
    std::string settings = (fs::path(argv[0]).parent_path() / "etc" / "qr_balance.json").string();
    bool listFailures = false;
    fs::path saveFolder;
    bool saveAll = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--failures") {
            listFailures = true;
        } else if (i + 1 >= argc) {
            return usage();
        } else if (option == "--frames") {
            perCell = std::atoi(argv[++i]);
        } else if (option == "--only") {
            only = argv[++i];
        } else if (option == "--settings") {
            settings = argv[++i];
        } else if (option == "--save" || option == "--save-all") {
            saveAll = option == "--save-all";
            saveFolder = argv[++i];
        } else {
            return usage();
        }
    }
    if (perCell <= 0) {
        return usage();
    }
    if (!saveFolder.empty()) {
        fs::create_directories(saveFolder);
    }

    OurDecoder ours;
    std::string errorText;
    if (!ours.load(settings, errorText)) {
        std::fprintf(stderr, "bench-decode: %s\n", errorText.c_str());
        return 2;
    }
    std::vector<Frame> frames;
    if (!makeCorpus(perCell, only, frames, errorText)) {
        std::fprintf(stderr, "bench-decode: %s\n", errorText.c_str());
        return 1;
    }

    const auto& symbologies = benchSymbologies();
    std::vector<Row> bySymbology(symbologies.size());
    std::vector<Row> byCondition(kConditionCount);
    std::vector<Row> byNoCodeKind(kNoCodeKindCount);
    Row withCode;
    Row withoutCode;
    const double limitMs = ours.timeoutMs() + kTimeoutAllowanceMs;
    int overTime = 0;
    for (const Frame& frame : frames) {
        const Symbology* symbology = frame.symbology >= 0 ? &symbologies[frame.symbology] : nullptr;
        // Without a code, reading nothing is the correct outcome.
        auto judged = [&](Outcome outcome) {
            outcome.correct = symbology != nullptr ? outcome.correct : !outcome.decoded;
            return outcome;
        };
        const Outcome mine = judged(ours.decode(frame.grey, symbology, frame.expected));
        const Outcome zxing = judged(decodeWithZXing(frame.grey, symbology, frame.expected));
        const bool zbarReads = symbology == nullptr || symbology->zbarType != 0;
        const Outcome zbar =
            zbarReads ? judged(decodeWithZBar(frame.grey, symbology, frame.expected)) : Outcome{};
        std::vector<Row*> rows;
        if (symbology != nullptr) {
            rows = {&bySymbology[frame.symbology], &byCondition[frame.condition], &withCode};
        } else {
            rows = {&byNoCodeKind[frame.condition], &withoutCode};
        }
        for (Row* row : rows) {
            row->ours.add(mine);
            row->zxing.add(zxing);
            if (zbarReads) {
                row->zbar.add(zbar);
            }
        }
        const bool late = mine.milliseconds > limitMs;
        overTime += late ? 1 : 0;
        const bool failed = !mine.correct || late;
        if (failed && listFailures) {
            std::fprintf(stderr, "bench-decode: %s: %s%s, %.1f ms\n", frame.name.c_str(),
                         mine.decoded ? "read " : "missed",
                         mine.decoded ? printable(mine.text).c_str() : "", mine.milliseconds);
        }
        if ((failed || saveAll) && !saveFolder.empty()) {
            savePgm(saveFolder, frame);
        }
    }

    std::printf(
        "Correct reads and wrong reads of 640x480 frames; %d per symbology and condition; "
        "template time-out %d ms\n",
        perCell, ours.timeoutMs());
    std::vector<std::string> labels;
    for (const Symbology& s : symbologies) {
        labels.emplace_back(s.label);
    }
    std::vector<Row> symbologyRows = bySymbology;
    labels.emplace_back("all with a code");
    symbologyRows.push_back(withCode);
    printRateTable("symbology", labels, symbologyRows);
    labels.clear();
    for (int c = 0; c < kConditionCount; ++c) {
        labels.emplace_back(conditionName(c));
    }
    printRateTable("condition", labels, byCondition);
    labels.clear();
    for (int k = 0; k < kNoCodeKindCount; ++k) {
        labels.emplace_back(noCodeKindName(k));
    }
    labels.emplace_back("all without a code");
    byNoCodeKind.push_back(withoutCode);
    std::printf("\nFrames without a code: the rate is of frames where nothing was read.\n");
    printRateTable("without a code", labels, byNoCodeKind);
    printTimeTable(withCode, withoutCode);
    std::printf("\nour decodes past the time-out + %.0f ms: %d of %zu\n", kTimeoutAllowanceMs,
                overTime, frames.size());
    return 0;
}
