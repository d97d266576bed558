// SPDX-License-Identifier: MIT
#include "engine/bar_rows.h"

#include <algorithm>
#include <cmath>

#include "engine/box_deconvolution.h"
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
/// Deblurring: edges rising by at least this share of a row's range count for the blur's
/// length; a blur shorter than kMinDeblurLength samples is left alone; Richardson-Lucy
/// iterations.
constexpr float kMinEdgeShare = 0.4f;
constexpr float kMinDeblurLength = 2;
constexpr int kDeblurIterations = 12;
/// Lines averaged into one row at most.
constexpr int kMaxBandLines = 6;
/// Sharpening: an unsharp mask of this sigma in narrow elements and this strength.
constexpr float kSharpenElements = 0.8f;
constexpr float kSharpenAmount = 1.2f;

std::uint8_t toByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

}  // namespace

bool BarRowBuilder::sample(const GreyView& image, const std::vector<BarLine>& lines, int width,
                           int perBand, const Deadline& deadline) {
    width_ = width;
    rows_ = static_cast<int>(lines.size());
    perBand = std::clamp(perBand, 1, kMaxBandLines);
    values_.assign(static_cast<std::size_t>(width) * rows_, 0);
    const float steps = static_cast<float>(std::max(width - 1, 1));
    for (int y = 0; y < rows_; ++y) {
        if (deadline.passed()) {
            return false;
        }
        const BarLine& line = lines[y];
        float* row = values_.data() + static_cast<std::size_t>(y) * width;
        for (int k = 0; k < perBand; ++k) {
            const float share = perBand > 1 ? 2.0f * k / (perBand - 1) - 1 : 0;
            const PointF from{line.from.x + share * line.bandFrom.x,
                              line.from.y + share * line.bandFrom.y};
            const PointF to{line.to.x + share * line.bandTo.x, line.to.y + share * line.bandTo.y};
            const ScanLine scan{from.x, from.y, (to.x - from.x) / steps, (to.y - from.y) / steps,
                                width};
            sampleLine(image, scan, samples_);
            for (int x = 0; x < width; ++x) {
                row[x] += samples_[x] / perBand;
            }
        }
    }
    return true;
}

GreyView BarRowBuilder::filtered(Filter filter, float element, const Deadline& deadline) {
    const int width = width_;
    pixels_.resize(values_.size());
    const float blur = filter == Filter::kDeblurred ? blurLength(width, rows_) : 0;
    for (int y = 0; y < rows_; ++y) {
        if (deadline.passed()) {
            return {};
        }
        const float* sampled = values_.data() + static_cast<std::size_t>(y) * width;
        row_.assign(sampled, sampled + width);
        if (filter == Filter::kSharpened) {
            sharpen(row_.data(), width, element);
        } else if (blur >= kMinDeblurLength) {
            deblur(row_.data(), width, blur);
        }
        normalise(row_.data(), width, element,
                  pixels_.data() + static_cast<std::size_t>(y) * width);
    }
    return {pixels_.data(), width, rows_, width};
}

float BarRowBuilder::blurLength(int width, int rows) {
    widths_.clear();
    for (int y = 0; y < rows; ++y) {
        const float* row = values_.data() + static_cast<std::size_t>(y) * width;
        const auto [low, high] = std::minmax_element(row, row + width);
        const float least = kMinEdgeShare * (*high - *low);
        // Monotonic stretches between turning points; the wide-enough ones are edges.
        for (int start = 0; start + 1 < width;) {
            const bool rising = row[start + 1] > row[start];
            int end = start + 1;
            while (end + 1 < width && (row[end + 1] > row[end]) == rising) {
                ++end;
            }
            const float a = row[start];
            const float b = row[end];
            if (std::fabs(b - a) >= least) {
                // Where the edge crosses 10 % and 90 % of its rise.
                auto crossing = [&](float share) {
                    const float level = a + share * (b - a);
                    for (int x = start; x < end; ++x) {
                        if ((row[x + 1] - level) * (row[x] - level) <= 0 && row[x + 1] != row[x]) {
                            return x + (level - row[x]) / (row[x + 1] - row[x]);
                        }
                    }
                    return static_cast<float>(end);
                };
                widths_.push_back(crossing(0.9f) - crossing(0.1f));
            }
            start = end;
        }
    }
    if (widths_.empty()) {
        return 0;
    }
    const auto middle = widths_.begin() + widths_.size() / 2;
    std::nth_element(widths_.begin(), middle, widths_.end());
    // A line blur of length L spreads a sharp edge over 0.8 L between 10 % and 90 %.
    return *middle / 0.8f;
}

void BarRowBuilder::deblur(float* row, int width, float length) {
    const int taps = std::max(1, static_cast<int>(std::lround(length)));
    samples_.assign(row, row + width);
    for (float& v : samples_) {
        v += 1;
    }
    estimate_ = samples_;
    blurred_.resize(2 * static_cast<std::size_t>(width));
    for (int iteration = 0; iteration < kDeblurIterations; ++iteration) {
        richardsonLucyRound(samples_.data(), estimate_.data(), width, taps, 1e-3f, blurred_.data());
    }
    for (int x = 0; x < width; ++x) {
        row[x] = estimate_[x] - 1;
    }
}

void BarRowBuilder::sharpen(float* row, int width, float element) {
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

void BarRowBuilder::normalise(const float* row, int width, float element, std::uint8_t* out) {
    samples_.assign(row, row + width);
    const auto low = samples_.begin() + width / 20;
    const auto high = samples_.begin() + width - 1 - width / 20;
    std::nth_element(samples_.begin(), low, samples_.end());
    const float dark = *low;
    std::nth_element(samples_.begin(), high, samples_.end());
    const float minRange = std::max(kMinEdgeContrast, kRelativeEdgeContrast * (*high - dark));
    const int radius = std::max(2, static_cast<int>(kEnvelopeElements * element));
    slidingExtreme(row, width, radius, true, queue_, low_);
    slidingExtreme(row, width, radius, false, queue_, high_);
    for (int x = 0; x < width; ++x) {
        const float range = high_[x] - low_[x];
        out[x] = range < minRange ? 255 : toByte(255 * (row[x] - low_[x]) / range);
    }
}

}  // namespace telo::engine
