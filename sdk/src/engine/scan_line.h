#pragma once

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
void AppendScanLines(int width, int height, float angleDegrees, float spacing,
                     std::vector<ScanLine>& lines);

/// The bilinear sample of `image` at (x, y), pixel centres at integers, clamped at the edges.
float SampleAt(const GreyView& image, float x, float y);

/// Samples `image` along `line` with bilinear interpolation into `samples` (resized to fit).
void SampleLine(const GreyView& image, const ScanLine& line, std::vector<float>& samples);

}  // namespace telo::engine
