#pragma once

#include <ZXing/BarcodeFormat.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace telo::bench {

/// The content of one symbol: what zint is given, and what a reader should return.
struct SymbolData {
    std::string zintData;
    std::string expected;
};

/// One symbology of the corpus and how to render and recognise it.
struct Symbology {
    const char* label;
    const char* zintType;
    /// Extra zint arguments (height, columns, ...).
    const char* zintOptions;
    /// The SymbologyIndex our decoder should report (-1 for a format without one).
    std::int32_t index;
    ZXing::BarcodeFormat zxingFormat;
    /// The zbar symbol type, or 0 when zbar does not read the symbology.
    int zbarType;
    /// Smallest and largest module (narrow bar) width rendered, pixels.
    double minModule;
    double maxModule;
    SymbolData (*makeData)(std::mt19937& random);
};

/// Every symbology of the application's window, plus Aztec and Codabar.
const std::vector<Symbology>& BenchSymbologies();

}  // namespace telo::bench
