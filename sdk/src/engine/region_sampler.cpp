#include "engine/region_sampler.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// Dark runs a line through the middle of a bar region must cross for it to be a code.
constexpr int kMinDarkRuns = 6;
/// Quiet zones: the crop reaches this many elements beyond the region on each side, and at
/// least kMinMarginPixels.
constexpr float kMarginElements = 12;
constexpr float kMinMarginPixels = 10;
/// Bars are cut into bands about this many pixels thick, each averaged into one row over this
/// share of its thickness, and into at most kMaxBarRows rows: enough rows for the readers to
/// agree, few enough to be quick.
constexpr float kBandPixels = 3;
constexpr float kBandShare = 0.8f;
constexpr int kMaxBarRows = 32;
/// Elements are enlarged by at most this factor.
constexpr float kMaxScale = 3;
/// Narrow bars are brought to at least this width: ZXing's row readers lose narrower ones.
constexpr float kMinNarrowPixels = 3;
/// Bound on any resampled image.
constexpr int kMaxSide = 2048;
constexpr float kMaxPixels = 640 * 480;
/// Stretched contrast of an upright crop: these percentiles go to black and white.
constexpr float kStretchLow = 0.02f;
constexpr float kStretchHigh = 0.98f;

struct Axes {
    float ux;
    float uy;
    float vx;
    float vy;
};

Axes RegionAxes(const CodeRegion& region) {
    const float ux = std::cos(region.angle);
    const float uy = std::sin(region.angle);
    return {ux, uy, -uy, ux};
}

std::uint8_t ToByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

}  // namespace

float RegionSampler::ElementWidth(const GreyView& image, const CodeRegion& region) {
    const Axes a = RegionAxes(region);
    ScanLine line{region.centreX - a.ux * region.length / 2,
                  region.centreY - a.uy * region.length / 2, a.ux, a.uy,
                  std::max(static_cast<int>(region.length), 2)};
    SampleLine(image, line, samples_);
    runFinder_.Find(samples_, runs_);
    if (region.kind == CodeRegion::Kind::kBars &&
        static_cast<int>(runs_.size()) < 2 * kMinDarkRuns + 1) {
        return 0;
    }
    if (runs_.size() < 5) {
        return region.kind == CodeRegion::Kind::kBars ? 0 : kMinNarrowPixels;
    }
    // The outer runs are margins; among the rest the narrow elements are the most common.
    auto first = runs_.begin() + 1;
    auto last = runs_.end() - 1;
    auto quarter = first + (last - first) / 4;
    std::nth_element(first, quarter, last);
    return std::max(*quarter, 0.5f);
}

GreyView RegionSampler::BarRows(const GreyView& image, const CodeRegion& region, float narrow,
                                bool sharpen, CropMap& map) {
    const Axes a = RegionAxes(region);
    const float margin = std::max(kMarginElements * narrow, kMinMarginPixels);
    const float length = region.length + 2 * margin;
    const float height = region.height + 2 * kMinMarginPixels;
    const float scale =
        std::min(std::clamp(kMinNarrowPixels / narrow, 1.0f, kMaxScale), kMaxSide / length);
    const int width = std::max(static_cast<int>(length * scale), 2);
    const int rows = std::clamp(static_cast<int>(height / kBandPixels), 1, kMaxBarRows);
    const float band = height / rows;

    map.origin = {region.centreX - a.ux * length / 2 - a.vx * (height / 2 - band / 2),
                  region.centreY - a.uy * length / 2 - a.vy * (height / 2 - band / 2)};
    map.column = {a.ux / scale, a.uy / scale};
    map.row = {a.vx * band, a.vy * band};
    lines_.clear();
    for (int y = 0; y < rows; ++y) {
        lines_.push_back({map.ToFrame(0, static_cast<float>(y)),
                          map.ToFrame(static_cast<float>(width - 1), static_cast<float>(y)),
                          {a.vx * band * kBandShare / 2, a.vy * band * kBandShare / 2}});
    }
    return rowBuilder_.Build(image, lines_, width, std::max(1, static_cast<int>(band)),
                             narrow * scale, sharpen);
}

GreyView RegionSampler::Upright(const GreyView& image, const CodeRegion& region, float element,
                                float minElement, CropMap& map) {
    const Axes a = RegionAxes(region);
    const float margin = std::max(kMarginElements * element, kMinMarginPixels);
    const float length = region.length + 2 * margin;
    const float height = region.height + 2 * margin;
    const float scale = std::min({std::clamp(minElement / element, 1.0f, kMaxScale),
                                  kMaxSide / length, kMaxSide / height,
                                  std::sqrt(kMaxPixels / (length * height))});
    const int width = std::max(static_cast<int>(length * scale), 1);
    const int rows = std::max(static_cast<int>(height * scale), 1);

    map.origin = {region.centreX - a.ux * length / 2 - a.vx * height / 2,
                  region.centreY - a.uy * length / 2 - a.vy * height / 2};
    map.column = {a.ux / scale, a.uy / scale};
    map.row = {a.vx / scale, a.vy / scale};

    values_.resize(static_cast<std::size_t>(width) * rows);
    for (int y = 0; y < rows; ++y) {
        const PointF start = map.ToFrame(0, static_cast<float>(y));
        SampleLine(image, {start.x, start.y, map.column.x, map.column.y, width}, samples_);
        std::copy(samples_.begin(), samples_.end(),
                  values_.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    // Stretch between low and high percentiles, from a histogram of the rounded values.
    std::array<int, 256> histogram{};
    for (float v : values_) {
        ++histogram[ToByte(v)];
    }
    const auto count = static_cast<float>(values_.size());
    int low = 0;
    for (int seen = 0; low < 255 && seen + histogram[low] < kStretchLow * count; ++low) {
        seen += histogram[low];
    }
    int high = 255;
    for (int seen = 0; high > 0 && seen + histogram[high] < (1 - kStretchHigh) * count; --high) {
        seen += histogram[high];
    }
    const float gain = 255.0f / std::max(high - low, 1);
    pixels_.resize(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) {
        pixels_[i] = ToByte((values_[i] - low) * gain);
    }
    upright_ = {pixels_.data(), width, rows, width};
    return upright_;
}

GreyView RegionSampler::InvertedUpright() {
    inverted_.resize(pixels_.size());
    std::transform(pixels_.begin(), pixels_.end(), inverted_.begin(),
                   [](std::uint8_t v) { return static_cast<std::uint8_t>(255 - v); });
    return {inverted_.data(), upright_.width, upright_.height, upright_.stride};
}

}  // namespace telo::engine
