// SPDX-License-Identifier: MIT
#include "engine/region_sampler.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/contrast_stretch.h"
#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// What a line through the middle of a region (of a matrix region, the lines of
/// kMatrixLineOffsets together) must show to be a code: bars, at least kMinDarkRuns of them,
/// the widest common ones kMinBarWidthSpread times as wide as the narrowest; matrix modules, at
/// least kMinMatrixDarkRuns dark runs. The share of the line that is dark: a bar code has bars
/// of one to four widths and spaces alike; a matrix code is about half dark; printed text is
/// mostly paper. Contrast, grey levels between the 10th and 90th percentiles of a line: sensor
/// noise and faint texture stay below. A matrix region larger than
/// kMaxMatrixSide pixels is a page, not a code in a 640 x 480 frame.
constexpr int kMinDarkRuns = 6;
constexpr float kMinBarWidthSpread = 2;
constexpr int kMinMatrixDarkRuns = 3;
constexpr float kMinBarDarkShare = 0.2f;
constexpr float kMinMatrixDarkShare = 0.33f;
constexpr float kMaxDarkShare = 0.8f;
constexpr float kMinBarContrast = 20;
constexpr float kMinMatrixContrast = 28;
constexpr float kMaxMatrixSide = 480;
/// A fainter line counts when paper lies flat on both sides of it, as round a printed symbol:
/// every sample of the margins within kQuietShare of the contrast below its light level.
/// Texture is as faint but has no quiet zone.
constexpr float kMinFaintMatrixContrast = 18;
constexpr float kQuietShare = 0.25f;
/// Lines through a matrix region, offsets from the middle as shares of its extent.
constexpr std::array<float, 3> kMatrixLineOffsets{0, -0.25f, 0.25f};
/// A bar this many of the finest elements wide next to two elements of at most
/// kMaxNarrowElements narrow ones is the guard of a PDF417 row: seven or eight modules, where
/// the linear symbologies' widest bars have four.
constexpr float kMinGuardBarElements = 6;
constexpr float kMaxNarrowElements = 1.6f;
/// The guard bars of PDF417's start and stop patterns lie within this many bars of its ends.
constexpr std::size_t kGuardEndBars = 6;
/// Bars run on across the code: lines this share of the region's height (within the bounds,
/// pixels) to either side of the middle one match it, slid by up to kMaxContinuityShift pixels
/// where perspective slants the bars.
constexpr float kContinuityShare = 0.25f;
constexpr float kMinContinuityPixels = 3;
constexpr float kMaxContinuityPixels = 15;
constexpr int kMaxContinuityShift = 3;
/// The line is matched in up to kMaxContinuityParts parts of at least kContinuityPartPixels.
constexpr int kContinuityPartPixels = 80;
constexpr int kMaxContinuityParts = 4;
/// Least continuity of a bar region, and of one with a stacked code's guard bar.
constexpr float kMinBarContinuity = 0.45f;
constexpr float kMinStackedContinuity = 0.2f;
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
/// Stretched contrast of an upright crop: these percentiles go to black and white.
constexpr float kStretchLow = 0.02f;
constexpr float kStretchHigh = 0.98f;

struct Axes {
    float ux;
    float uy;
    float vx;
    float vy;
};

/// Along the region's axis, and along its bars (or the other side of a matrix).
Axes regionAxes(const CodeRegion& region) {
    return {std::cos(region.axis), std::sin(region.axis), -std::sin(region.angle),
            std::cos(region.angle)};
}

/// Correlation of a[i] with b[i + shift] over i in [begin, end).
float shiftedCorrelation(const std::vector<float>& a, const std::vector<float>& b, int shift,
                         int begin, int end) {
    const int count = end - begin;
    if (count < 2) {
        return 0;
    }
    double meanA = 0;
    double meanB = 0;
    for (int i = begin; i < end; ++i) {
        meanA += a[i];
        meanB += b[i + shift];
    }
    meanA /= count;
    meanB /= count;
    double ab = 0;
    double aa = 0;
    double bb = 0;
    for (int i = begin; i < end; ++i) {
        ab += (a[i] - meanA) * (b[i + shift] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i + shift] - meanB) * (b[i + shift] - meanB);
    }
    return aa > 0 && bb > 0 ? static_cast<float>(ab / std::sqrt(aa * bb)) : 0;
}

/// Whether the `margin` samples at either end of `samples` are all paper, near `light`.
bool quietBeside(const std::vector<float>& samples, int margin, float dark, float light) {
    const float floor = light - kQuietShare * (light - dark);
    const auto quiet = [floor](float value) { return value >= floor; };
    return std::all_of(samples.begin(), samples.begin() + margin, quiet) &&
           std::all_of(samples.end() - margin, samples.end(), quiet);
}

}  // namespace

float RegionSampler::continuity(const GreyView& image, const CodeRegion& region, int length) {
    const Axes a = regionAxes(region);
    const float offset =
        std::clamp(kContinuityShare * region.height, kMinContinuityPixels, kMaxContinuityPixels);
    auto line = [&](float across, std::vector<float>& out) {
        sampleLine(image,
                   {region.centreX - a.ux * length / 2.0f + a.vx * across,
                    region.centreY - a.uy * length / 2.0f + a.vy * across, a.ux, a.uy, length},
                   out);
    };
    line(0, centre_);
    float least = 1;
    float most = -1;
    for (const float side : {-1.0f, 1.0f}) {
        line(side * offset, beside_);
        // Perspective fans the bars out, so each part of the line finds its own shift.
        const int inner = length - 2 * kMaxContinuityShift;
        const int parts = std::clamp(inner / kContinuityPartPixels, 1, kMaxContinuityParts);
        float best = 0;
        for (int part = 0; part < parts; ++part) {
            const int begin = kMaxContinuityShift + inner * part / parts;
            const int end = kMaxContinuityShift + inner * (part + 1) / parts;
            float partBest = -1;
            for (int shift = -kMaxContinuityShift; shift <= kMaxContinuityShift; ++shift) {
                partBest =
                    std::max(partBest, shiftedCorrelation(centre_, beside_, shift, begin, end));
            }
            best += partBest / parts;
        }
        least = std::min(least, best);
        most = std::max(most, best);
    }
    return (least + most) / 2;
}

RegionLook RegionSampler::examineMatrix(const GreyView& image, const CodeRegion& region) {
    RegionLook look;
    if (std::max(region.length, region.height) > kMaxMatrixSide) {
        return look;
    }
    // Lines along both sides, through the middle and a quarter of the way to either edge:
    // blur along one side, glare over the middle or a region that covers only part of the
    // symbol leave some of them without modules. Their inner runs are pooled.
    const Axes a = regionAxes(region);
    const int margin = static_cast<int>(kMinMarginPixels);
    sorted_.clear();
    float darkLength = 0;
    float total = 0;
    int darkRuns = 0;
    int darkSurrounds = 0;
    int lines = 0;
    for (const bool alongAxis : {true, false}) {
        const PointF along = alongAxis ? PointF{a.ux, a.uy} : PointF{a.vx, a.vy};
        const PointF across = alongAxis ? PointF{a.vx, a.vy} : PointF{a.ux, a.uy};
        const int length = std::max(static_cast<int>(alongAxis ? region.length : region.height), 2);
        const float extent = alongAxis ? region.height : region.length;
        for (const float offset : kMatrixLineOffsets) {
            const float cx = region.centreX + across.x * offset * extent;
            const float cy = region.centreY + across.y * offset * extent;
            sampleLine(
                image,
                {cx - along.x * (length / 2.0f + margin), cy - along.y * (length / 2.0f + margin),
                 along.x, along.y, length + 2 * margin},
                samples_);
            centre_.assign(samples_.begin() + margin, samples_.end() - margin);
            beside_ = centre_;
            std::sort(beside_.begin(), beside_.end());
            const float dark = beside_[beside_.size() / 10];
            const float light = beside_[beside_.size() * 9 / 10];
            if (light - dark < kMinMatrixContrast &&
                (light - dark < kMinFaintMatrixContrast ||
                 !quietBeside(samples_, margin, dark, light))) {
                continue;
            }
            runFinder_.find(centre_, runs_);
            for (std::size_t i = 1; i + 1 < runs_.size(); ++i) {
                sorted_.push_back(runs_[i]);
                total += runs_[i];
                darkLength += i % 2 == 1 ? runs_[i] : 0;
                darkRuns += i % 2 == 1 ? 1 : 0;
            }
            float surround = 0;
            for (int i = 0; i < margin; ++i) {
                surround += samples_[i] + samples_[samples_.size() - 1 - i];
            }
            darkSurrounds += surround / (2 * margin) < (dark + light) / 2 ? 1 : 0;
            ++lines;
        }
    }
    const float darkShare = total > 0 ? darkLength / total : 0;
    // Text is mostly paper; a matrix code about half dark.
    if (darkRuns < kMinMatrixDarkRuns || darkShare < kMinMatrixDarkShare ||
        darkShare > kMaxDarkShare) {
        return look;
    }
    std::sort(sorted_.begin(), sorted_.end());
    const std::size_t n = sorted_.size();
    look.element = std::max(sorted_[n / 4], 0.5f);
    look.finest = std::max(sorted_[n / 10], 0.5f);
    look.darkSurround = 2 * darkSurrounds > lines;
    return look;
}

RegionLook RegionSampler::examine(const GreyView& image, const CodeRegion& region) {
    if (region.kind == CodeRegion::Kind::kMatrix) {
        return examineMatrix(image, region);
    }
    const Axes a = regionAxes(region);
    RegionLook look;
    // The line through the middle, and beyond it on both sides as far again as a quiet zone.
    const int length = std::max(static_cast<int>(region.length), 2);
    const int margin = static_cast<int>(kMinMarginPixels);
    sampleLine(image,
               {region.centreX - a.ux * (length / 2.0f + margin),
                region.centreY - a.uy * (length / 2.0f + margin), a.ux, a.uy, length + 2 * margin},
               samples_);
    const auto first = samples_.begin() + margin;
    const auto last = samples_.end() - margin;
    sorted_.assign(first, last);
    std::sort(sorted_.begin(), sorted_.end());
    const float dark = sorted_[sorted_.size() / 10];
    const float light = sorted_[sorted_.size() * 9 / 10];
    if (light - dark < kMinBarContrast) {
        return look;
    }
    runFinder_.find(std::vector<float>(first, last), runs_);
    // The outer runs reach the region's edges; the rest are whole elements.
    if (runs_.size() < 3) {
        return look;
    }
    sorted_.assign(runs_.begin() + 1, runs_.end() - 1);
    float darkLength = 0;
    float total = 0;
    for (std::size_t i = 1; i + 1 < runs_.size(); ++i) {
        total += runs_[i];
        darkLength += i % 2 == 1 ? runs_[i] : 0;
    }
    const float darkShare = total > 0 ? darkLength / total : 0;
    const auto darkRuns = static_cast<int>(sorted_.size() / 2);
    std::sort(sorted_.begin(), sorted_.end());
    const std::size_t n = sorted_.size();
    // Bars come in two to four widths; stripes, grain and grilles repeat one.
    if (darkRuns < kMinDarkRuns || darkShare < kMinBarDarkShare || darkShare > kMaxDarkShare ||
        sorted_[n * 85 / 100] < kMinBarWidthSpread * sorted_[n * 15 / 100]) {
        return look;
    }
    look.element = std::max(sorted_[n / 4], 0.5f);
    look.finest = std::max(sorted_[n / 10], 0.5f);
    // PDF417's start and stop patterns open with a bar of seven or eight modules beside narrow
    // elements; the linear symbologies have no bar so wide.
    // A line across the whole symbol meets one near each end.
    const std::size_t bars = runs_.size() / 2;
    for (std::size_t i = 1; i + 1 < runs_.size(); i += 2) {
        const bool wide = runs_[i] >= kMinGuardBarElements * look.finest;
        auto narrow = [&](std::size_t j) { return runs_[j] <= kMaxNarrowElements * look.element; };
        if (wide && ((i + 2 < runs_.size() && narrow(i + 1) && narrow(i + 2)) ||
                     (i >= 3 && narrow(i - 1) && narrow(i - 2)))) {
            look.stacked = true;
            const std::size_t bar = i / 2;
            look.guardsNearStart = look.guardsNearStart || bar < kGuardEndBars;
            look.guardsNearEnd = look.guardsNearEnd || bar + kGuardEndBars >= bars;
        }
    }
    // The rows of a stacked code differ, so their bars run on only within a row.
    if (continuity(image, region, length) <
        (look.stacked ? kMinStackedContinuity : kMinBarContinuity)) {
        return {};
    }
    float surround = 0;
    for (int i = 0; i < margin; ++i) {
        surround += samples_[i] + samples_[samples_.size() - 1 - i];
    }
    look.darkSurround = surround / (2 * margin) < (dark + light) / 2;
    return look;
}

bool RegionSampler::sampleBarRows(const GreyView& image, const CodeRegion& region,
                                  const RegionLook& look, const Deadline& deadline, CropMap& map) {
    const Axes a = regionAxes(region);
    const float margin = std::max(kMarginElements * look.element, kMinMarginPixels);
    const float length = region.length + 2 * margin;
    const float height = region.height + 2 * kMinMarginPixels;
    const float scale =
        std::min(std::clamp(kMinNarrowPixels / look.finest, 1.0f, kMaxScale), kMaxSide / length);
    const int width = std::max(static_cast<int>(length * scale), 2);
    const int rows = std::clamp(static_cast<int>(height / kBandPixels), 1, kMaxBarRows);
    const float band = height / rows;

    map.origin = {region.centreX - a.ux * length / 2 - a.vx * (height / 2 - band / 2),
                  region.centreY - a.uy * length / 2 - a.vy * (height / 2 - band / 2)};
    map.column = {a.ux / scale, a.uy / scale};
    map.row = {a.vx * band, a.vy * band};
    lines_.clear();
    for (int y = 0; y < rows; ++y) {
        const PointF bandHalf{a.vx * band * kBandShare / 2, a.vy * band * kBandShare / 2};
        lines_.push_back({map.toFrame(0, static_cast<float>(y)),
                          map.toFrame(static_cast<float>(width - 1), static_cast<float>(y)),
                          bandHalf, bandHalf});
    }
    rowElement_ = look.finest * scale;
    return rowBuilder_.sample(image, lines_, width, static_cast<int>(band), deadline);
}

GreyView RegionSampler::barRows(BarRowBuilder::Filter filter, const Deadline& deadline) {
    return rowBuilder_.filtered(filter, rowElement_, deadline);
}

GreyView RegionSampler::upright(const GreyView& image, const CodeRegion& region, float element,
                                float minElement, float maxPixels, const Deadline& deadline,
                                CropMap& map) {
    const Axes a = regionAxes(region);
    const float margin = std::max(kMarginElements * element, kMinMarginPixels);
    const float length = region.length + 2 * margin;
    const float height = region.height + 2 * margin;
    const float scale =
        std::min({std::clamp(minElement / element, 1.0f, kMaxScale), kMaxSide / length,
                  kMaxSide / height, std::sqrt(maxPixels / (length * height))});
    const int width = std::max(static_cast<int>(length * scale), 1);
    const int rows = std::max(static_cast<int>(height * scale), 1);

    map.origin = {region.centreX - a.ux * length / 2 - a.vx * height / 2,
                  region.centreY - a.uy * length / 2 - a.vy * height / 2};
    map.column = {a.ux / scale, a.uy / scale};
    map.row = {a.vx / scale, a.vy / scale};

    values_.resize(static_cast<std::size_t>(width) * rows);
    for (int y = 0; y < rows; ++y) {
        if (deadline.passed()) {
            upright_ = {};
            return upright_;
        }
        const PointF start = map.toFrame(0, static_cast<float>(y));
        sampleLine(image, {start.x, start.y, map.column.x, map.column.y, width}, samples_);
        std::copy(samples_.begin(), samples_.end(),
                  values_.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    stretchContrast(values_, kStretchLow, kStretchHigh, pixels_);
    upright_ = {pixels_.data(), width, rows, width};
    return upright_;
}

GreyView RegionSampler::invertedUpright() {
    inverted_.resize(pixels_.size());
    std::transform(pixels_.begin(), pixels_.end(), inverted_.begin(),
                   [](std::uint8_t v) { return static_cast<std::uint8_t>(255 - v); });
    return {inverted_.data(), upright_.width, upright_.height, upright_.stride};
}

}  // namespace telo::engine
