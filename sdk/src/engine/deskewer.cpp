#include "engine/deskewer.h"

#include <algorithm>
#include <cmath>

#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// Margins added around the region: a share of its size plus a fixed number of pixels.
constexpr float kLengthMarginShare = 0.12f;
constexpr float kLengthMarginPixels = 12;
constexpr float kHeightMarginShare = 0.05f;
constexpr float kHeightMarginPixels = 6;
/// Narrow bars and matrix modules are enlarged to at least these widths, by at most kMaxScale:
/// ZXing's matrix detectors lose modules under about four pixels.
constexpr float kMinNarrowPixels = 3;
constexpr float kMinModulePixels = 5;
constexpr float kMaxScale = 3;
/// Bound on the resampled image.
constexpr int kMaxSide = 1600;
constexpr int kMaxPixels = 640 * 480;

}  // namespace

float Deskewer::EstimateNarrowWidth(const GreyView& image, const CodeRegion& region) {
    const float ux = std::cos(region.angle);
    const float uy = std::sin(region.angle);
    ScanLine line{region.centreX - ux * region.length / 2, region.centreY - uy * region.length / 2,
                  ux, uy, static_cast<int>(region.length)};
    SampleLine(image, line, samples_);
    runFinder_.Find(samples_, runs_);
    // The outer runs are margins; among the rest the narrow elements are the most common.
    if (runs_.size() < 6) {
        return kMinNarrowPixels;
    }
    auto first = runs_.begin() + 1;
    auto last = runs_.end() - 1;
    auto quarter = first + (last - first) / 4;
    std::nth_element(first, quarter, last);
    return std::max(*quarter, 0.5f);
}

GreyView Deskewer::Extract(const GreyView& image, const CodeRegion& region) {
    const float narrow = EstimateNarrowWidth(image, region);
    const float target =
        region.kind == CodeRegion::Kind::kBars ? kMinNarrowPixels : kMinModulePixels;
    float scale = std::clamp(target / narrow, 1.0f, kMaxScale);
    const float length = region.length * (1 + 2 * kLengthMarginShare) + 2 * kLengthMarginPixels;
    const float height = region.height * (1 + 2 * kHeightMarginShare) + 2 * kHeightMarginPixels;
    scale = std::min(
        {scale, kMaxSide / length, kMaxSide / height, std::sqrt(kMaxPixels / (length * height))});
    const int width = std::max(static_cast<int>(length * scale), 1);
    const int rows = std::max(static_cast<int>(height * scale), 1);
    pixels_.resize(static_cast<std::size_t>(width) * rows);

    // Output pixel (x, y) looks at centre + (x - width/2) / scale * u + (y - rows/2) / scale * v.
    const float ux = std::cos(region.angle) / scale;
    const float uy = std::sin(region.angle) / scale;
    for (int y = 0; y < rows; ++y) {
        const float dv = y - rows / 2.0f;
        ScanLine line{region.centreX - ux * width / 2 - uy * dv,
                      region.centreY - uy * width / 2 + ux * dv, ux, uy, width};
        SampleLine(image, line, samples_);
        std::uint8_t* out = pixels_.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            out[x] = static_cast<std::uint8_t>(samples_[x] + 0.5f);
        }
    }
    return {pixels_.data(), width, rows, width};
}

}  // namespace telo::engine
