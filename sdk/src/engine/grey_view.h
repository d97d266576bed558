// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_GREY_VIEW_H
#define TELO_ENGINE_GREY_VIEW_H

#include <cstdint>

namespace telo::engine {

/// A borrowed 8-bit grey image: `height` rows of `width` pixels, rows `stride` bytes apart.
struct GreyView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    std::uint8_t at(int x, int y) const { return data[y * stride + x]; }
};

}  // namespace telo::engine

#endif
