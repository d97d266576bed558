#include "engine/deskewer.h"

#include <algorithm>
#include <array>
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
/// ZXing's Aztec detector misses symbols with modules under about seven pixels.
constexpr float kMinNarrowPixels = 3;
constexpr float kMinModulePixels = 8;
constexpr float kMaxScale = 3;
/// Dark runs a line through the middle of a bar region must cross for it to be a code.
constexpr int kMinDarkRuns = 6;
/// EnhanceBars: rows averaged along the bars, and the unsharp mask across them (the Gaussian's
/// sigma in pixels of the upright image, and how much of the difference is added).
constexpr int kAverageRows = 5;
constexpr float kSharpenSigma = 2;
constexpr float kSharpenAmount = 1.5f;
constexpr int kSharpenRadius = 6;
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
    // Too few bars across the middle: a line or a shadow, not a code.
    if (region.kind == CodeRegion::Kind::kBars &&
        static_cast<int>(runs_.size()) < 2 * kMinDarkRuns + 1) {
        return 0;
    }
    if (runs_.size() < 3) {
        return kMinNarrowPixels;
    }
    // The outer runs are margins; among the rest the narrow elements are the most common.
    auto first = runs_.begin() + 1;
    auto last = runs_.end() - 1;
    auto quarter = first + (last - first) / 4;
    std::nth_element(first, quarter, last);
    return std::max(*quarter, 0.5f);
}

GreyView Deskewer::Extract(const GreyView& image, const CodeRegion& region) {
    const float narrow = EstimateNarrowWidth(image, region);
    if (narrow <= 0) {
        upright_ = {};
        return upright_;
    }
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
    upright_ = {pixels_.data(), width, rows, width};
    return upright_;
}

GreyView Deskewer::EnhanceBars() {
    const int width = upright_.width;
    const int rows = upright_.height;
    enhanced_.resize(pixels_.size());
    columnSums_.assign(width, 0);

    std::array<float, 2 * kSharpenRadius + 1> kernel{};
    float kernelSum = 0;
    for (int i = -kSharpenRadius; i <= kSharpenRadius; ++i) {
        kernel[i + kSharpenRadius] = std::exp(-0.5f * i * i / (kSharpenSigma * kSharpenSigma));
        kernelSum += kernel[i + kSharpenRadius];
    }
    for (float& weight : kernel) {
        weight /= kernelSum;
    }

    // Running sums over a window of rows centred on each output row, clamped at the edges.
    const int half = kAverageRows / 2;
    auto addRow = [&](int y, float sign) {
        const std::uint8_t* in =
            pixels_.data() + static_cast<std::size_t>(std::clamp(y, 0, rows - 1)) * width;
        for (int x = 0; x < width; ++x) {
            columnSums_[x] += sign * in[x];
        }
    };
    for (int y = -half; y <= half; ++y) {
        addRow(y, 1);
    }
    row_.resize(width);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            row_[x] = columnSums_[x] / kAverageRows;
        }
        std::uint8_t* out = enhanced_.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            float blurred = 0;
            for (int i = -kSharpenRadius; i <= kSharpenRadius; ++i) {
                blurred += kernel[i + kSharpenRadius] * row_[std::clamp(x + i, 0, width - 1)];
            }
            const float value = row_[x] + kSharpenAmount * (row_[x] - blurred);
            out[x] = static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
        }
        addRow(y + half + 1, 1);
        addRow(y - half, -1);
    }
    return {enhanced_.data(), width, rows, width};
}

}  // namespace telo::engine
