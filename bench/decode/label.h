// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_LABEL_H
#define TELO_BENCH_DECODE_LABEL_H

#include <random>
#include <string>

#include "raster.h"
#include "text_printer.h"
#include "zint_symbol.h"

namespace telo::bench {

/// Sides of a symbol, as bits.
enum Side : int { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

/// How a symbol is printed on its label. Lengths are in modules.
struct LabelLayout {
    /// Clear print around the symbol, and further label beyond it.
    float quietLeft = 10;
    float quietRight = 10;
    float quietTop = 3;
    float quietBottom = 3;
    float margin = 4;
    /// Height of the bars of a linear symbol.
    float barHeight = 40;
    /// How much wider than a module every dark element prints (ink spread; negative thins).
    float inkSpread = 0;
    /// ITF-14's bearer bars, above and below or as a box around the quiet zones.
    bool bearerBars = false;
    bool bearerBox = false;
    float bearerWidth = 4;
    /// Text under a linear symbol, glyphs `humanTextSize` modules high.
    std::string humanText;
    float humanTextSize = 7;
    /// Print reaching into the quiet zone on the `intrusionSides`, `intrusionGap` from the symbol:
    /// lines of text, or a ruled line when `intrusionRule`.
    int intrusionSides = 0;
    float intrusionGap = 4;
    bool intrusionRule = false;
    /// Reflectance of the ink and of the paper.
    float ink = 0.08f;
    float paper = 0.85f;
    /// Light modules on a dark ground (laser-marked or reversed print).
    bool inverted = false;
};

/// A printed label as a reflectance raster, and where the symbol lies on it.
struct Label {
    Raster raster;
    float pixelsPerModule = 1;
    float symbolLeft = 0;
    float symbolTop = 0;
    float symbolRight = 0;
    float symbolBottom = 0;
};

/// Draws `modules` with `layout` at `pixelsPerModule` raster pixels per module.
Label drawLabel(const SymbolModules& modules, const LabelLayout& layout, float pixelsPerModule,
                const TextPrinter& printer, std::mt19937& random);

}  // namespace telo::bench

#endif
