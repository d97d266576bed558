// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_RASTER_H
#define TELO_BENCH_DECODE_RASTER_H

#include <algorithm>
#include <cstddef>
#include <vector>

namespace telo::bench {

/// A grey picture of floats: reflectance (0 black ink, 1 white paper) while a scene is built,
/// light on the sensor afterwards.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;

    Raster() = default;
    Raster(int w, int h, float value = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, value) {}

    float& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    float at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }

    /// Bilinear sample at (x, y) in pixel units, pixel centres at integers; clamped at the edges.
    float sample(float x, float y) const {
        x = std::clamp(x, 0.0f, static_cast<float>(width - 1));
        y = std::clamp(y, 0.0f, static_cast<float>(height - 1));
        const int left = std::min(static_cast<int>(x), width - 2 < 0 ? 0 : width - 2);
        const int top = std::min(static_cast<int>(y), height - 2 < 0 ? 0 : height - 2);
        const int right = std::min(left + 1, width - 1);
        const int bottom = std::min(top + 1, height - 1);
        const float fx = x - left;
        const float fy = y - top;
        const float upper = at(left, top) + fx * (at(right, top) - at(left, top));
        const float lower = at(left, bottom) + fx * (at(right, bottom) - at(left, bottom));
        return upper + fy * (lower - upper);
    }

    /// Sets the pixels of the rectangle [x0, x1) x [y0, y1), clipped, to `value`.
    void fill(int x0, int y0, int x1, int y1, float value) {
        for (int y = std::max(y0, 0); y < std::min(y1, height); ++y) {
            for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
                at(x, y) = value;
            }
        }
    }
};

}  // namespace telo::bench

#endif
