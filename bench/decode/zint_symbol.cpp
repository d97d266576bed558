// SPDX-License-Identifier: MIT
#include "zint_symbol.h"

#include <zint.h>

#include <memory>
#include <numeric>

namespace telo::bench {

float SymbolModules::height() const {
    return std::accumulate(rowHeights.begin(), rowHeights.end(), 0.0f);
}

bool encodeSymbol(const SymbolRequest& request, SymbolModules& modules, std::string& errorText) {
    std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
    if (!symbol) {
        errorText = "zint: out of memory";
        return false;
    }
    symbol->symbology = request.type;
    symbol->input_mode = request.inputMode;
    symbol->option_1 = request.option1 == 0 ? -1 : request.option1;
    symbol->option_2 = request.option2;
    symbol->eci = request.eci;
    const int status =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(request.data.data()),
                        static_cast<int>(request.data.size()));
    if (status >= ZINT_ERROR) {
        errorText = std::string("zint: ") + symbol->errtxt + " for \"" + request.data + "\"";
        return false;
    }
    modules.rows.assign(symbol->rows, std::vector<bool>(symbol->width));
    modules.rowHeights.assign(symbol->rows, 0);
    for (int row = 0; row < symbol->rows; ++row) {
        for (int column = 0; column < symbol->width; ++column) {
            modules.rows[row][column] =
                ((symbol->encoded_data[row][column >> 3] >> (column & 7)) & 1) != 0;
        }
        // Rows of stacked codes come without their own height; they share the symbol's.
        modules.rowHeights[row] = symbol->row_height[row] > 0
                                      ? symbol->row_height[row]
                                      : symbol->height / static_cast<float>(symbol->rows);
    }
    return symbol->rows > 0 && symbol->width > 0;
}

}  // namespace telo::bench
