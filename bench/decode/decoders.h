// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_DECODERS_H
#define TELO_BENCH_DECODE_DECODERS_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/barcode_engine.h"
#include "symbologies.h"

namespace telo::bench {

/// What one decoder made of one frame.
struct Outcome {
    bool decoded = false;
    /// The expected symbology and bytes.
    bool correct = false;
    /// What was read, for listing wrong reads.
    std::string text;
    double milliseconds = 0;

    bool wrong() const { return decoded && !correct; }
};

/// Our decoder, through the same path as telo_scanner_decode: YUY2 frame, engine, template.
class OurDecoder {
public:
    /// False with `errorText` when the settings cannot be loaded.
    bool load(const std::string& settingsPath, std::string& errorText);
    Outcome decode(const std::vector<std::uint8_t>& grey, const Symbology* expectedSymbology,
                   const std::string& expected);
    int timeoutMs() const;

private:
    std::unique_ptr<engine::BarcodeEngine> engine_;
    std::mutex engineMutex_;
    std::vector<std::uint8_t> frame_;
};

/// ZXing-C++ ReadBarcode with default hints.
Outcome decodeWithZXing(const std::vector<std::uint8_t>& grey, const Symbology* expectedSymbology,
                        const std::string& expected);

/// ZBar with every symbology enabled.
Outcome decodeWithZBar(const std::vector<std::uint8_t>& grey, const Symbology* expectedSymbology,
                       const std::string& expected);

}  // namespace telo::bench

#endif
