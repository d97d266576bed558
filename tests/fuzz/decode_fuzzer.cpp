// SPDX-License-Identifier: MIT
// Feeds arbitrary grey images to the whole engine, every format enabled, and arbitrary run
// widths to the 2 of 5 decoders: both must stay in bounds and end, and every result must carry
// one known format, 2 of 5 results digits of an allowed length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/barcode_engine.h"
#include "engine/barcode_format.h"
#include "engine/two_of_five_reader.h"

namespace {

constexpr char kSettings[] = R"({"templates": {"QR_CODE_DEFAULT": {"formats": [
    "CODE_39", "CODE_128", "CODE_93", "CODABAR", "ITF", "EAN_13", "EAN_8", "UPC_A", "UPC_E",
    "INDUSTRIAL_25", "PDF417", "QR_CODE", "DATAMATRIX", "AZTEC"],
    "timeoutMs": 200, "maxBarcodes": 4, "expectedBarcodes": 4}}})";

void CheckDigits(const std::uint8_t* text, std::size_t length) {
    if (length == 0 || length > telo::engine::kMaxTwoOfFiveLength) {
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
    using namespace telo::engine;
    if (size < 2) {
        return 0;
    }
    // First byte bit 3: the rest are run widths in eighths of a pixel, else a grey image whose
    // width is the second byte.
    if ((data[0] & 8) != 0) {
        ReaderOptions options;
        options.industrial25CheckDigit = (data[0] & 4) != 0;
        std::vector<float> runs;
        for (std::size_t i = 1; i < size; ++i) {
            runs.push_back(data[i] / 8.0f);
        }
        // Light, dark, ..., light: an odd count, a last light run of 0 added if need be.
        runs.resize(runs.size() | 1);
        const std::uint32_t format = (data[0] & 2) != 0 ? kFormatItf : kFormatIndustrial25;
        TwoOfFiveReader::Digits digits;
        if (TwoOfFiveReader::decodeRuns(format, runs, options, digits)) {
            CheckDigits(reinterpret_cast<const std::uint8_t*>(digits.text.data()),
                        static_cast<std::size_t>(digits.length));
        }
        return 0;
    }
    static const std::unique_ptr<BarcodeEngine> engine = [] {
        std::unique_ptr<BarcodeEngine> created = BarcodeEngine::create();
        std::string errorText;
        if (!created || created->loadSettingsFromString(kSettings, errorText) != kOk) {
            std::abort();
        }
        return created;
    }();
    const int width = 1 + data[1];
    const int height = static_cast<int>((size - 2) / width);
    if (height == 0) {
        return 0;
    }
    if (engine->decodeBuffer(data + 2, width, height, width, kPixelFormatGrey,
                             kDefaultTemplateName) != kOk) {
        std::abort();
    }
    const ResultList& results = engine->results();
    for (int i = 0; i < results.count(); ++i) {
        const std::uint32_t format = results[i].format;
        if ((format & kAllFormats) != format || (format & (format - 1)) != 0 || format == 0) {
            std::abort();
        }
        if (format == kFormatIndustrial25) {
            CheckDigits(results[i].bytes.data(), results[i].bytes.size());
        }
    }
    return 0;
}
