// Feeds arbitrary images and run-width sequences to the Industrial 2 of 5 reader: it must stay
// in bounds, and every text it returns must be digits of an allowed length.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/barcode_format.h"
#include "engine/industrial25_reader.h"

namespace {

void CheckDigits(const char* text, std::size_t length) {
    if (length == 0 || length > telo::engine::kMaxIndustrial25Length) {
        std::abort();
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using telo::engine::Industrial25Reader;
    if (size < 2) {
        return 0;
    }
    telo::engine::ReaderOptions options;
    options.minLineCount = 1 + data[0] % 2;
    options.industrial25CheckDigit = (data[0] & 4) != 0;

    // First byte bit 3: the rest are run widths in eighths of a pixel, else a grey image whose
    // width is the second byte.
    if ((data[0] & 8) != 0) {
        std::vector<float> runs;
        for (std::size_t i = 1; i < size; ++i) {
            runs.push_back(data[i] / 8.0f);
        }
        if (runs.size() % 2 == 0) {
            runs.push_back(0);
        }
        Industrial25Reader::Digits digits;
        if (Industrial25Reader::DecodeRuns(runs, options, digits)) {
            CheckDigits(digits.text.data(), static_cast<std::size_t>(digits.length));
        }
        return 0;
    }
    const int width = 1 + data[1];
    const std::size_t pixels = size - 2;
    const int height = static_cast<int>(pixels / width);
    if (height == 0) {
        return 0;
    }
    static Industrial25Reader reader;
    telo::engine::ResultList results;
    results.Reset(4);
    const auto scan = (data[0] & 16) != 0 ? Industrial25Reader::Scan::kLevel
                                          : Industrial25Reader::Scan::kAllAngles;
    reader.Read({data + 2, width, height, width}, scan, options, 4,
                Industrial25Reader::Clock::now() + std::chrono::seconds(1), results);
    for (int i = 0; i < results.Count(); ++i) {
        if (results[i].format != telo::engine::kFormatIndustrial25) {
            std::abort();
        }
        CheckDigits(reinterpret_cast<const char*>(results[i].bytes.data()),
                    results[i].bytes.size());
    }
    return 0;
}
