// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_PRINTED_BOX_H
#define TELO_ENGINE_PRINTED_BOX_H

#include <cstdint>

#include "engine/crop_map.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// Print below this grey level is dark in a square-on view (SymbolRectifier), which is scaled
/// to its local contrast.
constexpr std::uint8_t kSquareOnDarkBelow = 128;

/// Whether most of the five points at `p` and `offset` pixels from it along the axes are dark
/// in a square-on view: a module sampled so survives a speck or an edge. Points off the view
/// are light.
bool moduleDark(const GreyView& view, PointF p, float offset);

/// The print of a symbol in a square-on view, pixels: first and last columns and rows.
struct PrintedBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

/// The box of the print around the densest lines of `view`, whose modules are about `module`
/// pixels: lines with half a module's width of dark pixels, up to a module's width of lines
/// without, which leaves out specks of dirt and stray print apart from the symbol; false when
/// no line has print.
bool printedBox(const GreyView& view, float module, PrintedBox& box);

}  // namespace telo::engine

#endif
