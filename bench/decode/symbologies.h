// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_SYMBOLOGIES_H
#define TELO_BENCH_DECODE_SYMBOLOGIES_H

#include <ZXing/BarcodeFormat.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "zint_symbol.h"

namespace telo::bench {

/// One symbol to print: what zint encodes, what a reader must return, and the print around it.
struct SymbolContent {
    SymbolRequest request;
    /// The data bytes a correct read returns (GS1 fields separated by GS, 0x1D).
    std::string expected;
    /// Human-readable text printed under a linear symbol; empty for none.
    std::string humanText;
    /// ITF-14's bearer bars above and below the bars.
    bool bearerBars = false;
};

/// One symbology of the corpus and how each decoder names it.
struct Symbology {
    const char* label;
    /// The SymbologyIndex our decoder reports.
    std::int32_t index;
    ZXing::BarcodeFormat zxingFormat;
    /// The ZBar symbol type, or 0 when ZBar does not read the symbology.
    int zbarType;
    /// A two-dimensional code (matrix or stacked): module sizes and the light-on-dark condition
    /// differ from bars.
    bool twoDimensional;
    /// Light-on-dark prints occur (laser-marked and reversed matrix codes).
    bool invertible;
    SymbolContent (*makeContent)(std::mt19937& random);
};

/// Every symbology of the application's window, plus Aztec.
const std::vector<Symbology>& benchSymbologies();

}  // namespace telo::bench

#endif
