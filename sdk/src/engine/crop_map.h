// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_CROP_MAP_H
#define TELO_ENGINE_CROP_MAP_H

#include <array>

namespace telo::engine {

/// A point of the frame, pixels.
struct PointF {
    float x = 0;
    float y = 0;
};

/// Four corners of a symbol in the frame, in order round it.
using Quad = std::array<PointF, 4>;

/// Where a resampled crop's pixels come from: crop pixel (x, y) shows frame point
/// origin + x * column + y * row.
struct CropMap {
    PointF origin;
    PointF column{1, 0};
    PointF row{0, 1};

    PointF toFrame(float x, float y) const {
        return {origin.x + x * column.x + y * row.x, origin.y + x * column.y + y * row.y};
    }
};

}  // namespace telo::engine

#endif
