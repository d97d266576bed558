// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_MODULE_DRAWING_H
#define TELO_ENGINE_MODULE_DRAWING_H

#include <cstdint>
#include <vector>

#include "engine/grey_view.h"

namespace telo::engine {

/// A clean black and white drawing of a matrix symbol, level, with square modules and a quiet
/// zone round it: what the redrawers hand ZXing's decoders.
class ModuleDrawing {
public:
    /// Starts a white drawing of `columns` x `rows` modules of `module` pixels, with `quiet`
    /// modules of quiet zone all round.
    void start(int columns, int rows, int module, int quiet);
    /// Draws the module at `column`, `row` dark.
    void fill(int column, int row);
    /// The drawing; valid until the next start().
    GreyView view() const { return {pixels_.data(), width_, height_, width_}; }

private:
    int width_ = 0;
    int height_ = 0;
    int module_ = 0;
    int quiet_ = 0;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace telo::engine

#endif
