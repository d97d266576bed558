#include "engine/bar_rows.h"

#include <algorithm>
#include <cmath>

#include "engine/run_lengths.h"
#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// The window whose extremes give a row's local dark and light levels, in narrow elements:
/// a few wide elements.
constexpr float kEnvelopeElements = 6;
/// The smallest range that is print rather than noise, in grey levels and as a share of the
/// row's range between its 5th and 95th percentiles.
constexpr float kMinEdgeContrast = 16;
constexpr float kRelativeEdgeContrast = 0.3f;
/// Sharpening: an unsharp mask of this sigma in narrow elements and this strength.
constexpr float kSharpenElements = 0.8f;
constexpr float kSharpenAmount = 1.2f;

std::uint8_t ToByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

}  // namespace

GreyView BarRowBuilder::Build(const GreyView& image, const std::vector<BarLine>& lines,
                              int width, int perBand, float element, bool sharpen) {
    const int rows = static_cast<int>(lines.size());
    values_.assign(static_cast<std::size_t>(width) * rows, 0);
    pixels_.resize(values_.size());
    const float steps = static_cast<float>(std::max(width - 1, 1));
    for (int y = 0; y < rows; ++y) {
        const BarLine& line = lines[y];
        float* row = values_.data() + static_cast<std::size_t>(y) * width;
        for (int k = 0; k < perBand; ++k) {
            const float share = perBand > 1 ? 2.0f * k / (perBand - 1) - 1 : 0;
            const PointF from{line.from.x + share * line.bandFrom.x,
                              line.from.y + share * line.bandFrom.y};
            const PointF to{line.to.x + share * line.bandTo.x, line.to.y + share * line.bandTo.y};
            const ScanLine scan{from.x, from.y, (to.x - from.x) / steps, (to.y - from.y) / steps,
                                width};
            SampleLine(image, scan, samples_);
            for (int x = 0; x < width; ++x) {
                row[x] += samples_[x] / perBand;
            }
        }
        if (sharpen) {
            Sharpen(row, width, element);
        }
        Normalise(row, width, element, pixels_.data() + static_cast<std::size_t>(y) * width);
    }
    return {pixels_.data(), width, rows, width};
}

void BarRowBuilder::Sharpen(float* row, int width, float element) {
    const float sigma = std::max(kSharpenElements * element, 0.5f);
    const int radius = static_cast<int>(std::ceil(2.5f * sigma));
    kernel_.resize(2 * radius + 1);
    float total = 0;
    for (int i = -radius; i <= radius; ++i) {
        kernel_[i + radius] = std::exp(-0.5f * i * i / (sigma * sigma));
        total += kernel_[i + radius];
    }
    samples_.resize(width);
    for (int x = 0; x < width; ++x) {
        float blurred = 0;
        for (int i = -radius; i <= radius; ++i) {
            blurred += kernel_[i + radius] * row[std::clamp(x + i, 0, width - 1)];
        }
        samples_[x] = row[x] + kSharpenAmount * (row[x] - blurred / total);
    }
    std::copy(samples_.begin(), samples_.begin() + width, row);
}

void BarRowBuilder::Normalise(const float* row, int width, float element, std::uint8_t* out) {
    samples_.assign(row, row + width);
    const auto low = samples_.begin() + width / 20;
    const auto high = samples_.begin() + width - 1 - width / 20;
    std::nth_element(samples_.begin(), low, samples_.end());
    const float dark = *low;
    std::nth_element(samples_.begin(), high, samples_.end());
    const float minRange = std::max(kMinEdgeContrast, kRelativeEdgeContrast * (*high - dark));
    const int radius = std::max(2, static_cast<int>(kEnvelopeElements * element));
    SlidingExtreme(row, width, radius, true, queue_, low_);
    SlidingExtreme(row, width, radius, false, queue_, high_);
    for (int x = 0; x < width; ++x) {
        const float range = high_[x] - low_[x];
        out[x] = range < minRange ? 255 : ToByte(255 * (row[x] - low_[x]) / range);
    }
}

}  // namespace telo::engine
