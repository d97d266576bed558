// SPDX-License-Identifier: MIT
#include "engine/module_drawing.h"

#include <algorithm>
#include <cstddef>

namespace telo::engine {

void ModuleDrawing::start(int columns, int rows, int module, int quiet) {
    module_ = module;
    quiet_ = quiet;
    width_ = (columns + 2 * quiet) * module;
    height_ = (rows + 2 * quiet) * module;
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 255);
}

void ModuleDrawing::fill(int column, int row) {
    for (int y = 0; y < module_; ++y) {
        std::uint8_t* out = pixels_.data() +
                            static_cast<std::size_t>((row + quiet_) * module_ + y) * width_ +
                            static_cast<std::size_t>(column + quiet_) * module_;
        std::fill(out, out + module_, 0);
    }
}

}  // namespace telo::engine
