// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_TEXT_PRINTER_H
#define TELO_BENCH_DECODE_TEXT_PRINTER_H

#include <memory>
#include <string>

#include "raster.h"

namespace telo::bench {

/// Prints UTF-8 text into rasters with FreeType: a Latin and a CJK typeface.
class TextPrinter {
public:
    TextPrinter();
    ~TextPrinter();
    TextPrinter(const TextPrinter&) = delete;
    TextPrinter& operator=(const TextPrinter&) = delete;

    /// False with a message when FreeType or a typeface is missing.
    bool ready(std::string& errorText) const;

    /// Prints `text` from the baseline point (x, y) with glyphs `size` pixels high, darkening the
    /// raster towards `ink` by each glyph's coverage; returns the x after the last glyph.
    float print(Raster& raster, const std::string& text, float x, float y, float size,
                float ink) const;

private:
    struct Faces;
    std::unique_ptr<Faces> faces_;
};

}  // namespace telo::bench

#endif
