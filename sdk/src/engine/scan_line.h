// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_SCAN_LINE_H
#define TELO_ENGINE_SCAN_LINE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/grey_view.h"

namespace telo::engine {

/// A straight line through an image from (x0, y0), sampled `length` times at unit steps
/// (dx, dy).
struct ScanLine {
    float x0 = 0;
    float y0 = 0;
    float dx = 1;
    float dy = 0;
    int length = 0;
};

/// Appends to `lines` the parallel lines at `angleDegrees` (0 runs left to right, positive turns
/// clockwise on screen) spaced `spacing` pixels apart that cross a `width` x `height` image,
/// clipped to it, the middle line first and then outwards alternately.
void appendScanLines(int width, int height, float angleDegrees, float spacing,
                     std::vector<ScanLine>& lines);

/// The bilinear sample of `image` at (x, y), pixel centres at integers, clamped at the edges.
inline float sampleAt(const GreyView& image, float x, float y) {
    const int maxX = image.width - 1;
    const int maxY = image.height - 1;
    x = std::clamp(x, 0.0f, static_cast<float>(maxX));
    y = std::clamp(y, 0.0f, static_cast<float>(maxY));
    const int left = std::min(static_cast<int>(x), std::max(maxX - 1, 0));
    const int top = std::min(static_cast<int>(y), std::max(maxY - 1, 0));
    const std::uint8_t* row = image.data + static_cast<std::ptrdiff_t>(top) * image.stride + left;
    const int right = left < maxX ? 1 : 0;
    const std::ptrdiff_t below = top < maxY ? image.stride : 0;
    const float fx = x - left;
    const float fy = y - top;
    const float upper = row[0] + fx * (row[right] - row[0]);
    const float lower = row[below] + fx * (row[below + right] - row[below]);
    return upper + fy * (lower - upper);
}

/// Samples `image` along `line` with bilinear interpolation into `samples` (resized to fit).
void sampleLine(const GreyView& image, const ScanLine& line, std::vector<float>& samples);

}  // namespace telo::engine

#endif
