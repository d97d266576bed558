// SPDX-License-Identifier: MIT
#include "engine/whole_symbol_check.h"

#include <algorithm>
#include <cmath>

#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// Shortest read checked, pixels; shorter reads are refused.
constexpr float kMinReadPixels = 16;
/// Least light-to-dark difference of real print, grey levels.
constexpr float kMinContrast = 20;
/// The quiet zone checked: half the ten narrow elements the standards ask for, so that print
/// close by is tolerated; it starts an element (at least kMinEdgePixels) out, past the blurred
/// edge of the last bar.
constexpr float kQuietNarrows = 5;
/// Where every space of a symbol is narrow (Industrial 2 of 5), light this many narrow elements
/// wide is no part of it, and print close by (text, a label's edge) is tolerated nearer.
constexpr float kNarrowSpacesQuietNarrows = 3;
constexpr float kEdgeNarrows = 1;
constexpr float kMinEdgePixels = 2;
/// The read's end may fall up to this many narrow elements short of the symbol's outermost
/// bar (a faint narrow bar that the reader's threshold lost).
constexpr float kEndSlackNarrows = 1.5f;
/// Bars followed across the read line: the profile of this many narrow elements inside the
/// symbol is found again at each step of one narrow element (at least a pixel), slid along the
/// read line by up to kMaxSlideShare of a step (at least kMinSlidePixels) from the step before
/// in quarter pixels (perspective makes bars slant), for as long as it still correlates, at
/// most a read length either way.
constexpr float kTrackedNarrows = 8;
constexpr float kMaxSlideShare = 0.6f;
constexpr float kMinSlidePixels = 1;
constexpr float kSlideStep = 0.25f;
constexpr float kMinCorrelation = 0.5f;
/// Share of the steps along the bars whose quiet zone must hold: the ends of the bars, blurred
/// into their surroundings or meeting a bearer bar, may fail where the rest holds.
constexpr float kMinQuietShare = 0.75f;
/// The bars must be followed across the read line over at least this many narrow elements.
constexpr float kMinBarHeightNarrows = 6;
/// Elements at each end from which the narrow width there is taken.
constexpr int kEndElements = 12;
/// A quiet zone may ripple by this share of the print's contrast (paper grain, noise)...
constexpr float kMaxRipple = 0.4f;
/// ... must be lighter than this share of the way from dark to light...
constexpr float kMinLightShare = 0.6f;
/// ... and is glare, not paper, when it is clipped and brighter than the symbol's light
/// elements beside it by kGlareShare of the contrast, or when the dark elements beside it are
/// lighter than the symbol's by kWashedShare of the contrast. Clipped is near the sensor's top:
/// bright paper lies just below it, and beside small modules, whose narrow spaces blur never
/// lets reach the paper's level, it stands out above those spaces as glare does.
constexpr float kClippedLevel = 250;
constexpr float kGlareShare = 0.12f;
constexpr float kWashedShare = 0.35f;
/// Lines across the bars keep clear of their ends by this share of their height, and reach
/// this many narrow elements beyond the read at each end.
constexpr float kLineInset = 0.1f;
constexpr float kLineMarginNarrows = 12;
/// Each line averages this share of its part of the bars' height, and is enlarged so that
/// narrow elements are kLineNarrowPixels wide, by at most kMaxLineScale.
constexpr float kLineBandShare = 0.8f;
constexpr float kLineNarrowPixels = 3;
constexpr float kMaxLineScale = 3;
/// Rows across the bars for a reader that samples the frame itself lie this many pixels apart.
constexpr float kRowPixels = 3;

float correlationOf(const std::vector<float>& a, const std::vector<float>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    float meanA = 0;
    float meanB = 0;
    for (std::size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= n;
    meanB /= n;
    float ab = 0;
    float aa = 0;
    float bb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

PointF movedAlong(PointF p, PointF direction, float distance) {
    return {p.x + direction.x * distance, p.y + direction.y * distance};
}

}  // namespace

void WholeSymbolCheck::sample(const GreyView& image, PointF from, PointF step, int count,
                              std::vector<float>& out) {
    sampleLine(image, {from.x, from.y, step.x, step.y, count}, out);
}

bool WholeSymbolCheck::isQuiet(const Window& window, const Levels& levels) {
    // The print's levels beside the zone: under uneven light they differ from the read's.
    sorted_.assign(samples_.begin(), samples_.begin() + window.inside);
    const auto light = sorted_.begin() + sorted_.size() * 9 / 10;
    std::nth_element(sorted_.begin(), light, sorted_.end());
    const float insideLight = *light;
    const auto dark = sorted_.begin() + sorted_.size() / 10;
    std::nth_element(sorted_.begin(), dark, sorted_.end());
    const float insideDark = *dark;
    // A faint outermost bar may lie just beyond the read's end: the zone starts past it.
    const float middle = (insideDark + insideLight) / 2;
    std::size_t edge = window.inside;
    for (std::size_t i = window.inside; i < window.inside + window.slack; ++i) {
        edge = samples_[i] < middle ? i + 1 : edge;
    }
    const std::size_t from = edge + window.gap;
    const std::size_t to = from + window.quiet;
    const auto [low, high] = std::minmax_element(samples_.begin() + from, samples_.begin() + to);
    float mean = 0;
    for (std::size_t i = from; i < to; ++i) {
        mean += samples_[i];
    }
    mean /= static_cast<float>(to - from);
    const float contrast = levels.light - levels.dark;
    const float minLight = std::min(levels.dark + kMinLightShare * contrast,
                                    insideDark + kMinLightShare * (insideLight - insideDark));
    if (*high - *low > kMaxRipple * contrast || mean < minLight) {
        return false;
    }
    if (*high < kClippedLevel || levels.framed) {
        return true;
    }
    // Clipped: paper in strong light, or a highlight. A highlight also lightens the print
    // beside it, washing out its bars, or stands out above its spaces.
    return mean <= insideLight + kGlareShare * contrast &&
           insideDark <= levels.dark + kWashedShare * contrast;
}

WholeSymbolCheck::EndTrack WholeSymbolCheck::trackEnd(const GreyView& image, PointF end,
                                                      PointF outward, float maxReach,
                                                      const Levels& levels,
                                                      const Deadline& deadline) {
    const PointF across{-outward.y, outward.x};
    const int inside = std::max(4, static_cast<int>(kTrackedNarrows * levels.narrow));
    const Window layout{
        static_cast<std::size_t>(inside),
        static_cast<std::size_t>(std::ceil(kEndSlackNarrows * levels.narrow)),
        static_cast<std::size_t>(std::ceil(std::max(kEdgeNarrows * levels.narrow, kMinEdgePixels))),
        static_cast<std::size_t>(std::max(
            3, static_cast<int>((levels.narrowSpaces ? kNarrowSpacesQuietNarrows : kQuietNarrows) *
                                levels.narrow)))};
    const int total = static_cast<int>(layout.inside + layout.slack + layout.gap + layout.quiet);
    const float step = std::max(1.0f, levels.narrow);
    const float maxSlide = std::max(kMinSlidePixels, kMaxSlideShare * step);
    // A window from `inside` pixels within the symbol to the far side of the quiet zone, at
    // `offset` across the read line and slid `slide` along it.
    auto window = [&](float offset, float slide) {
        sample(image, movedAlong(movedAlong(end, across, offset), outward, slide - inside), outward,
               total, samples_);
    };
    window(0, 0);
    int steps = 1;
    int quietSteps = isQuiet(layout, levels) ? 1 : 0;
    const std::vector<float> reference(samples_.begin(), samples_.begin() + inside);
    EndTrack track{false, 0, 0, 0};
    // Slant: the least-squares slope of slide against offset through the origin.
    float slideOffset = 0;
    float offsetSquared = 0;
    for (const float sign : {1.0f, -1.0f}) {
        float slide = 0;
        for (float offset = step; offset <= maxReach; offset += step) {
            if (deadline.passed()) {
                return track;
            }
            float bestCorrelation = -1;
            float bestSlide = slide;
            for (float s = slide - maxSlide; s <= slide + maxSlide + 1e-3f; s += kSlideStep) {
                window(sign * offset, s);
                candidate_.assign(samples_.begin(), samples_.begin() + inside);
                const float correlation = correlationOf(reference, candidate_);
                if (correlation > bestCorrelation) {
                    bestCorrelation = correlation;
                    bestSlide = s;
                }
            }
            if (bestCorrelation < kMinCorrelation) {
                break;
            }
            slide = bestSlide;
            window(sign * offset, slide);
            ++steps;
            quietSteps += isQuiet(layout, levels) ? 1 : 0;
            slideOffset += slide * sign * offset;
            offsetSquared += offset * offset;
            (sign > 0 ? track.high : track.low) = sign * offset;
        }
    }
    track.quiet = quietSteps >= kMinQuietShare * steps;
    track.slant = offsetSquared > 0 ? slideOffset / offsetSquared : 0;
    return track;
}

bool WholeSymbolCheck::holds(const GreyView& image, PointF start, PointF end, bool framed,
                             bool narrowSpaces, const Deadline& deadline, SymbolSpan& span) {
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    const float length = std::hypot(dx, dy);
    if (length < kMinReadPixels) {
        return false;
    }
    const PointF along{dx / length, dy / length};
    sample(image, start, along, static_cast<int>(length) + 1, samples_);
    sorted_ = samples_;
    std::sort(sorted_.begin(), sorted_.end());
    const Levels levels{sorted_[sorted_.size() / 10], sorted_[sorted_.size() * 9 / 10], 0, framed,
                        narrowSpaces};
    if (levels.light - levels.dark < kMinContrast) {
        return false;
    }
    runFinder_.find(samples_, runs_);
    // Between the margins of the sampled stretch, the narrow elements are the most common near
    // each end; perspective makes them differ from end to end.
    const int elements = static_cast<int>(runs_.size()) - 2;
    if (elements < 5) {
        return false;
    }
    const int nearby = std::min(elements, kEndElements);
    auto narrowest = [&](std::vector<float>::const_iterator first) {
        sorted_.assign(first, first + nearby);
        std::nth_element(sorted_.begin(), sorted_.begin() + nearby / 4, sorted_.end());
        return std::max(sorted_[nearby / 4], 1.0f);
    };
    Levels atStart = levels;
    Levels atEnd = levels;
    atStart.narrow = narrowest(runs_.begin() + 1);
    atEnd.narrow = narrowest(runs_.end() - 1 - nearby);
    const float maxReach = length;
    const EndTrack endTrack = trackEnd(image, end, along, maxReach, atEnd, deadline);
    if (!endTrack.quiet) {
        return false;
    }
    // The start's outward direction is reversed, and so is its sense of across.
    const EndTrack startTrack =
        trackEnd(image, start, {-along.x, -along.y}, maxReach, atStart, deadline);
    if (!startTrack.quiet) {
        return false;
    }
    span.start = start;
    span.end = end;
    span.across = {-along.y, along.x};
    span.low = std::max(endTrack.low, -startTrack.high);
    span.high = std::min(endTrack.high, -startTrack.low);
    span.endSlant = endTrack.slant;
    span.startSlant = -startTrack.slant;
    span.narrow = std::min(atStart.narrow, atEnd.narrow);
    // A line that leaves the symbol through the ends of its bars reads a piece of it, and the
    // bars it crossed end just beside it; a whole symbol's bars run on across the read.
    if (span.high - span.low < kMinBarHeightNarrows * span.narrow) {
        return false;
    }
    sorted_.assign(runs_.begin() + 1, runs_.end() - 1);
    const auto finest = sorted_.begin() + sorted_.size() / 10;
    std::nth_element(sorted_.begin(), finest, sorted_.end());
    span.finest = std::max(*finest, 0.5f);
    return true;
}

bool WholeSymbolCheck::sampleLinesAcross(const GreyView& image, const SymbolSpan& span, int count,
                                         const Deadline& deadline) {
    const float length = std::hypot(span.end.x - span.start.x, span.end.y - span.start.y);
    const PointF along{(span.end.x - span.start.x) / length, (span.end.y - span.start.y) / length};
    const float margin = kLineMarginNarrows * span.narrow;
    // Enlarged like the rows of a bar region, for the same readers.
    const float scale = std::clamp(kLineNarrowPixels / span.finest, 1.0f, kMaxLineScale);
    const int width = static_cast<int>((length + 2 * margin) * scale);
    const float inset = kLineInset * (span.high - span.low);
    const float band = (span.high - span.low - 2 * inset) / count;
    lines_.clear();
    for (int i = 0; i < count; ++i) {
        const float offset = span.low + inset + band * (i + 0.5f);
        // The band follows the bars' slant at each end.
        const float half = band * kLineBandShare / 2;
        lines_.push_back({movedAlong(movedAlong(span.start, span.across, offset), along,
                                     -margin - span.startSlant * offset),
                          movedAlong(movedAlong(span.end, span.across, offset), along,
                                     margin + span.endSlant * offset),
                          movedAlong({span.across.x * half, span.across.y * half}, along,
                                     -span.startSlant * half),
                          movedAlong({span.across.x * half, span.across.y * half}, along,
                                     span.endSlant * half)});
    }
    lineElement_ = span.finest * scale;
    return rowBuilder_.sample(image, lines_, width, static_cast<int>(band), deadline);
}

CropMap WholeSymbolCheck::rowsAcross(const SymbolSpan& span, int& length, int& count) {
    const float pixels = std::hypot(span.end.x - span.start.x, span.end.y - span.start.y);
    const PointF along{(span.end.x - span.start.x) / pixels, (span.end.y - span.start.y) / pixels};
    const float margin = kLineMarginNarrows * span.narrow;
    const float inset = kLineInset * (span.high - span.low);
    length = static_cast<int>(pixels + 2 * margin);
    count = std::max(1, static_cast<int>((span.high - span.low - 2 * inset) / kRowPixels));
    return {movedAlong(movedAlong(span.start, span.across, span.low + inset), along, -margin),
            along,
            {span.across.x * kRowPixels, span.across.y * kRowPixels}};
}

GreyView WholeSymbolCheck::linesAcross(BarRowBuilder::Filter filter, const Deadline& deadline) {
    return rowBuilder_.filtered(filter, lineElement_, deadline);
}

}  // namespace telo::engine
