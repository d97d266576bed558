// bench-decode: decode rate and time per frame of our decoder, ZXing-C++ at default hints and
// ZBar over a corpus of camera-like frames rendered at run time with zint and ImageMagick.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "corpus.h"
#include "decoders.h"
#include "symbologies.h"

namespace {

constexpr int kDefaultFramesPerSymbology = 32;

/// Rate and time figures of one decoder over one group of frames.
struct Tally {
    int frames = 0;
    int correct = 0;
    int decoded = 0;
    std::vector<double> times;

    void Add(const telo::bench::Outcome& outcome) {
        ++frames;
        correct += outcome.correct ? 1 : 0;
        decoded += outcome.decoded ? 1 : 0;
        times.push_back(outcome.milliseconds);
    }
    double Percentile(double share) {
        if (times.empty()) {
            return 0;
        }
        std::sort(times.begin(), times.end());
        const auto at = static_cast<std::size_t>(share * (times.size() - 1) + 0.5);
        return times[at];
    }
    std::string Cell(bool empty) {
        char text[64];
        const double rate = 100.0 * (empty ? frames - decoded : correct) / std::max(frames, 1);
        std::snprintf(text, sizeof text, "%5.1f%% %5.1f %5.1f %5.1f", rate, Percentile(0.5),
                      Percentile(0.95), Percentile(1.0));
        return text;
    }
};

struct Row {
    Tally ours;
    Tally zxing;
    Tally zbar;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: bench-decode [--corpus DIR] [--frames N] [--settings FILE] [--failures]\n"
                 "  --corpus DIR     keep the rendered corpus there (reused when complete)\n"
                 "  --frames N       frames per symbology (default %d)\n"
                 "  --settings FILE  engine settings (default: etc/qr_balance.json beside it)\n"
                 "  --failures       list the frames our decoder got wrong on standard error\n",
                 kDefaultFramesPerSymbology);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path corpus;
    int perSymbology = kDefaultFramesPerSymbology;
    std::string settings = (fs::path(argv[0]).parent_path() / "etc" / "qr_balance.json").string();
    bool listFailures = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--failures") {
            listFailures = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        if (option == "--corpus") {
            corpus = argv[++i];
        } else if (option == "--frames") {
            perSymbology = std::atoi(argv[++i]);
        } else if (option == "--settings") {
            settings = argv[++i];
        } else {
            return Usage();
        }
    }
    if (perSymbology <= 0) {
        return Usage();
    }
    const bool temporary = corpus.empty();
    if (temporary) {
        corpus = fs::temp_directory_path() / ("bench-decode-" + std::to_string(::getpid()));
    }

    telo::bench::OurDecoder ours;
    std::string errorText;
    if (!ours.Load(settings, errorText)) {
        std::fprintf(stderr, "bench-decode: %s\n", errorText.c_str());
        return 2;
    }
    std::vector<telo::bench::Frame> frames;
    const bool made = telo::bench::MakeCorpus(corpus, perSymbology, frames);
    if (temporary) {
        fs::remove_all(corpus);
    }
    if (!made) {
        return 1;
    }

    const auto& symbologies = telo::bench::BenchSymbologies();
    std::vector<Row> rows(symbologies.size() + 1);
    Row all;
    for (const telo::bench::Frame& frame : frames) {
        const telo::bench::Symbology* symbology =
            frame.symbology >= 0 ? &symbologies[frame.symbology] : nullptr;
        Row& row = rows[frame.symbology + 1];
        const auto mine = ours.Decode(frame.grey, symbology, frame.expected);
        const auto zxing = telo::bench::DecodeWithZXing(frame.grey, symbology, frame.expected);
        row.ours.Add(mine);
        if (listFailures && (symbology != nullptr ? !mine.correct : mine.decoded)) {
            std::fprintf(stderr, "bench-decode: ours failed on %s\n", frame.name.c_str());
        }
        row.zxing.Add(zxing);
        if (symbology == nullptr || symbology->zbarType != 0) {
            row.zbar.Add(telo::bench::DecodeWithZBar(frame.grey, symbology, frame.expected));
        }
        if (symbology != nullptr) {
            all.ours.Add(mine);
            all.zxing.Add(zxing);
        }
    }

    std::printf(
        "Decode rate and milliseconds per 640x480 frame (median p95 max); template "
        "time-out %d ms\n\n",
        ours.TimeoutMs());
    std::printf("%-18s %6s | %-26s | %-26s | %-26s\n", "symbology", "frames", "ours",
                "ZXing ReadBarcode (default)", "ZBar");
    auto print = [](const char* label, Row& row, bool empty) {
        const std::string zbar = row.zbar.frames > 0 ? row.zbar.Cell(empty) : "-";
        std::printf("%-18s %6d | %-26s | %-26s | %-26s\n", label, row.ours.frames,
                    row.ours.Cell(empty).c_str(), row.zxing.Cell(empty).c_str(), zbar.c_str());
    };
    for (std::size_t s = 0; s < symbologies.size(); ++s) {
        print(symbologies[s].label, rows[s + 1], false);
    }
    print("all with a code", all, false);
    print("no code (no read)", rows[0], true);
    int overTime = 0;
    for (double ms : rows[0].ours.times) {
        overTime += ms > ours.TimeoutMs() + 10 ? 1 : 0;
    }
    for (double ms : all.ours.times) {
        overTime += ms > ours.TimeoutMs() + 10 ? 1 : 0;
    }
    std::printf("\nframes slower than the time-out + 10 ms (ours): %d\n", overTime);
    return 0;
}
