// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_PRINTED_SPAN_H
#define TELO_ENGINE_PRINTED_SPAN_H

#include <cstdint>

#include "engine/grey_view.h"

namespace telo::engine {

/// Print below this grey level is dark in a square-on view (SymbolRectifier), which is scaled
/// to its local contrast.
constexpr std::uint8_t kSquareOnDarkBelow = 128;

/// The first and last line across `view` (columns when `horizontal`) with at least `minDark`
/// dark pixels: the extent of the print of a square-on view, where only the symbol is dark;
/// false when no line has that many.
bool printedSpan(const GreyView& view, bool horizontal, int minDark, int& first, int& last);

}  // namespace telo::engine

#endif
