// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_ZINT_SYMBOL_H
#define TELO_BENCH_DECODE_ZINT_SYMBOL_H

#include <string>
#include <vector>

namespace telo::bench {

/// What zint is asked to encode.
struct SymbolRequest {
    /// zint's BARCODE_* number.
    int type = 0;
    /// zint's input mode (DATA_MODE, UNICODE_MODE, GS1_MODE).
    int inputMode = 0;
    std::string data;
    /// zint's symbol-specific options; 0 leaves zint's choice.
    int option1 = 0;
    int option2 = 0;
    /// The ECI designator to mark the data with; 0 for none.
    int eci = 0;
};

/// A symbol's modules: rows of dark (true) and light modules, each row with its height in
/// modules. A linear symbol has one row.
struct SymbolModules {
    std::vector<std::vector<bool>> rows;
    std::vector<float> rowHeights;

    int width() const { return rows.empty() ? 0 : static_cast<int>(rows[0].size()); }
    float height() const;
    bool linear() const { return rows.size() == 1; }
};

/// Encodes `request` with libzint; false with zint's message in `errorText` when it refuses.
bool encodeSymbol(const SymbolRequest& request, SymbolModules& modules, std::string& errorText);

}  // namespace telo::bench

#endif
