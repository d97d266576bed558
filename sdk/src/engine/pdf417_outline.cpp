// SPDX-License-Identifier: MIT
#include "engine/pdf417_outline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <utility>

namespace telo::engine {

namespace {

/// A guard pattern as its element widths in modules, read from the symbol's edge inwards (the
/// start pattern opens with its wide bar, the stop pattern ends with it).
struct GuardPattern {
    std::array<float, 9> widths;
    int elements;
    float modules;
};

constexpr GuardPattern kStart{{8, 1, 1, 1, 1, 1, 1, 3}, 8, 17};
constexpr GuardPattern kStop{{1, 2, 1, 1, 1, 3, 1, 1, 7}, 9, 18};

/// Rows are sampled with at most this many samples per module: the run finder's window then
/// spans the wide guard bar whatever the crop's scale.
constexpr float kMaxSamplesPerModule = 3.4f;
/// A second scan of the rows takes modules this many times the estimate.
constexpr float kCoarseScanFactor = 2;
/// Rows are scanned this many modules apart; a PDF417 row is three or more modules high.
constexpr float kRowStepModules = 1;
/// Rows are scanned at least this many pixels apart: each scan averages three.
constexpr int kMinRowStep = 2;
/// A pattern's module may differ from the crop's estimate by these factors (blur and
/// perspective move the estimate).
constexpr float kMinModuleRatio = 0.4f;
constexpr float kMaxModuleRatio = 2.5f;
/// Each element may be off by this share of a module, and all together by this share of the
/// pattern: blur widens bars and narrows spaces.
constexpr float kMaxElementError = 0.7f;
constexpr float kMaxPatternError = 0.25f;
/// Where only the wide bar is clear: the pattern's length may be off by this many modules, and
/// the quiet zone beside it is at least kMinQuietModules.
constexpr float kMaxLengthError = 1.5f;
constexpr float kMinQuietModules = 2;
/// A side is fitted to edge points within this many modules of it, and needs this many of
/// them spanning at least kMinSideModules.
constexpr float kSideToleranceModules = 1.5f;
constexpr int kMinSidePoints = 6;
/// Points of a side tried in pairs for its first line, at most.
constexpr std::size_t kLineSamples = 24;
/// Points counted near each line tried, at most.
constexpr std::size_t kCountSamples = 256;
constexpr float kMinSideModules = 6;
/// Rows near a side more than this many modules apart belong to different stretches: glare
/// hides a few rows' patterns, stripes beyond the symbol may match now and then.
constexpr float kMaxGapModules = 12;
/// The sides of a symbol are at least its guard patterns and a codeword column apart.
constexpr float kMinWidthModules = 52;

/// The module of `pattern` when the runs from the bar `first` on match it, else 0.
float matchPattern(const std::vector<float>& runs, std::size_t first, const GuardPattern& pattern,
                   float module) {
    const auto elements = static_cast<std::size_t>(pattern.elements);
    if (first + elements > runs.size() || first % 2 == 0) {
        return 0;
    }
    float total = 0;
    for (std::size_t i = 0; i < elements; ++i) {
        total += runs[first + i];
    }
    const float unit = total / pattern.modules;
    if (unit < kMinModuleRatio * module || unit > kMaxModuleRatio * module) {
        return 0;
    }
    float error = 0;
    for (std::size_t i = 0; i < elements; ++i) {
        const float off = std::fabs(runs[first + i] - pattern.widths[i] * unit);
        if (off > kMaxElementError * unit) {
            return 0;
        }
        error += off;
    }
    return error <= kMaxPatternError * total ? unit : 0;
}

/// The module of `pattern` when its wide bar is the bar `wide` of the runs, with a quiet zone
/// or the symbol's next bar where its other elements should end, else 0. Blur and small modules
/// at the far end of a tilted symbol merge the narrow elements beyond recognition; the wide
/// bar and the pattern's length survive. `edges` holds where each run starts; `edge` is set to
/// where the pattern's outer edge lies.
float matchWideBar(const std::vector<float>& runs, const std::vector<float>& edges,
                   std::size_t wide, const GuardPattern& pattern, float module, float& edge) {
    const float wideWidth = pattern.widths[static_cast<std::size_t>(pattern.elements) - 1];
    const bool wideFirst = pattern.widths[0] > wideWidth;
    const float unit = runs[wide] / (wideFirst ? pattern.widths[0] : wideWidth);
    if (wide % 2 == 0 || unit < kMinModuleRatio * module || unit > kMaxModuleRatio * module) {
        return 0;
    }
    const float tolerance = kMaxLengthError * unit;
    if (wideFirst) {
        // The quiet zone before, and the first codeword's bar at the pattern's length.
        const float codeword = edges[wide] + pattern.modules * unit;
        if (wide < 1 || runs[wide - 1] < kMinQuietModules * unit) {
            return 0;
        }
        for (std::size_t k = wide + 2; k < runs.size() && edges[k] <= codeword + tolerance;
             k += 2) {
            if (std::fabs(edges[k] - codeword) <= tolerance) {
                edge = edges[wide];
                return unit;
            }
        }
        return 0;
    }
    // The quiet zone ends where the pattern's first bar starts.
    const float outer = edges[wide] - (pattern.modules - wideWidth) * unit;
    for (auto k = static_cast<std::ptrdiff_t>(wide); k >= 1 && edges[k] >= outer - tolerance;
         k -= 2) {
        if (edges[k] <= outer + tolerance && runs[k - 1] >= kMinQuietModules * unit) {
            edge = edges[k];
            return unit;
        }
    }
    return 0;
}

/// Pixels between the rows scanned of a crop whose modules are `module` pixels.
int rowStepPixels(float module) {
    return std::max(kMinRowStep, static_cast<int>(kRowStepModules * module));
}

/// The median of `values`, which it reorders.
float median(std::vector<float>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

bool Pdf417OutlineFinder::Side::fit(float tolerance, int minPoints, bool loose) {
    fitted = points;
    if (loose) {
        fitted.insert(fitted.end(), loosePoints.begin(), loosePoints.end());
    }
    if (static_cast<int>(fitted.size()) < minPoints) {
        return false;
    }
    // A first line through two of the points that most points lie near, which stray matches
    // in the data columns do not move; then least squares over the points near it, twice.
    std::sort(fitted.begin(), fitted.end(),
              [](const PointF& a, const PointF& b) { return a.y < b.y; });
    const std::size_t count = fitted.size();
    const std::size_t stride = std::max<std::size_t>(1, count / kLineSamples);
    // The points near each line tried are counted among a sample of them: stripes beside a
    // symbol may give thousands.
    const std::size_t countStride = std::max<std::size_t>(1, count / kCountSamples);
    int most = 0;
    for (std::size_t i = 0; i < count; i += stride) {
        for (std::size_t j = i + stride; j < count; j += stride) {
            const PointF& a = fitted[i];
            const PointF& b = fitted[j];
            if (b.y - a.y < tolerance) {
                continue;
            }
            const float trySlope = (b.x - a.x) / (b.y - a.y);
            const float tryAt = a.x - trySlope * a.y;
            int near = 0;
            for (std::size_t k = 0; k < count; k += countStride) {
                const PointF& p = fitted[k];
                near += std::fabs(p.x - (tryAt + trySlope * p.y)) <= tolerance ? 1 : 0;
            }
            near *= static_cast<int>(countStride);
            if (near > most) {
                most = near;
                slope = trySlope;
                at = tryAt;
            }
        }
    }
    if (most < minPoints) {
        return false;
    }
    int inliers = 0;
    for (int round = 0; round < 2; ++round) {
        double n = 0;
        double sy = 0;
        double sx = 0;
        double syy = 0;
        double sxy = 0;
        for (const PointF& p : fitted) {
            if (std::fabs(p.x - (at + slope * p.y)) > tolerance) {
                continue;
            }
            n += 1;
            sy += p.y;
            sx += p.x;
            syy += static_cast<double>(p.y) * p.y;
            sxy += static_cast<double>(p.x) * p.y;
        }
        const double spread = n * syy - sy * sy;
        if (n < minPoints || spread <= 0) {
            return false;
        }
        slope = static_cast<float>((n * sxy - sx * sy) / spread);
        at = static_cast<float>((sx - slope * sy) / n);
        inliers = static_cast<int>(n);
    }
    return inliers >= minPoints;
}

bool Pdf417OutlineFinder::Side::span(float tolerance, float maxGap) {
    rows.clear();
    for (const auto* list : {&points, &loosePoints}) {
        for (const PointF& p : *list) {
            if (std::fabs(p.x - point(p.y).x) <= tolerance) {
                rows.push_back(p.y);
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    std::size_t best = 0;
    for (std::size_t first = 0, i = 1; i <= rows.size(); ++i) {
        if (i < rows.size() && rows[i] - rows[i - 1] <= maxGap) {
            continue;
        }
        if (i - first > best) {
            best = i - first;
            top = rows[first];
            bottom = rows[i - 1];
        }
        first = i;
    }
    return best > 0;
}

void Pdf417OutlineFinder::matchRow(float y, float module) {
    runFinder_.find(samples_, runs_);
    const float length = std::accumulate(runs_.begin(), runs_.end(), 0.0f);
    // Each side's patterns read from the symbol's edge inwards: the right side's on the
    // reversed runs.
    for (const bool fromRight : {false, true}) {
        if (fromRight) {
            std::reverse(runs_.begin(), runs_.end());
        }
        edges_.resize(runs_.size());
        float edge = 0;
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            edges_[i] = edge;
            edge += runs_[i];
        }
        const auto add = [&](std::vector<PointF>& points, float x, float unit) {
            points.push_back({fromRight ? length - x : x, y});
            modules_.push_back(unit);
        };
        Side& start = fromRight ? startRight_ : startLeft_;
        Side& stop = fromRight ? stopRight_ : stopLeft_;
        for (std::size_t bar = 1; bar < runs_.size(); bar += 2) {
            for (auto [side, pattern] : {std::pair{&start, &kStart}, std::pair{&stop, &kStop}}) {
                if (const float unit = matchPattern(runs_, bar, *pattern, module); unit > 0) {
                    add(side->points, edges_[bar], unit);
                }
                float outer = 0;
                if (const float unit = matchWideBar(runs_, edges_, bar, *pattern, module, outer);
                    unit > 0) {
                    add(side->loosePoints, outer, unit);
                }
            }
        }
    }
}

void Pdf417OutlineFinder::clear() {
    for (Side* side : {&startLeft_, &stopRight_, &stopLeft_, &startRight_}) {
        side->points.clear();
        side->loosePoints.clear();
    }
    modules_.clear();
}

bool Pdf417OutlineFinder::scan(const GreyView& crop, float module, const Deadline& deadline) {
    if (crop.data == nullptr || module <= 0) {
        return false;
    }
    const std::size_t firstPoint[] = {startLeft_.points.size(),  startLeft_.loosePoints.size(),
                                      stopRight_.points.size(),  stopRight_.loosePoints.size(),
                                      stopLeft_.points.size(),   stopLeft_.loosePoints.size(),
                                      startRight_.points.size(), startRight_.loosePoints.size()};
    const std::size_t firstModule = modules_.size();
    // Each sample of a row is the mean of a block of whole pixels over three rows of the crop,
    // along which the bars run.
    const int step = std::max(1, static_cast<int>(std::ceil(module / kMaxSamplesPerModule)));
    const float blockPixels = static_cast<float>(3 * step);
    const float rowModule = module / static_cast<float>(step);
    const int count = crop.width / step;
    const int rowStep = rowStepPixels(module);
    samples_.resize(static_cast<std::size_t>(count));
    for (int y = 1; y + 1 < crop.height; y += rowStep) {
        if (deadline.passed()) {
            return false;
        }
        const std::uint8_t* above = crop.data + static_cast<std::ptrdiff_t>(y - 1) * crop.stride;
        std::fill(samples_.begin(), samples_.end(), 0.0f);
        for (int x = 0; x < count * step; ++x) {
            samples_[static_cast<std::size_t>(x / step)] +=
                static_cast<float>(above[x] + above[x + crop.stride] + above[x + 2 * crop.stride]);
        }
        for (float& sample : samples_) {
            sample /= blockPixels;
        }
        matchRow(static_cast<float>(y), rowModule);
    }
    // Edge positions and modules of this scan are in samples of `step` pixels.
    const auto scale = static_cast<float>(step);
    const std::size_t* first = firstPoint;
    for (Side* side : {&startLeft_, &stopRight_, &stopLeft_, &startRight_}) {
        for (auto* points : {&side->points, &side->loosePoints}) {
            for (auto p = points->begin() + static_cast<std::ptrdiff_t>(*first++);
                 p != points->end(); ++p) {
                p->x = (p->x + 0.5f) * scale - 0.5f;
            }
        }
    }
    for (auto m = modules_.begin() + static_cast<std::ptrdiff_t>(firstModule); m != modules_.end();
         ++m) {
        *m *= scale;
    }
    return true;
}

bool Pdf417OutlineFinder::showsGuards(const GreyView& crop, float module,
                                      const Deadline& deadline) {
    clear();
    if (!scan(crop, module, deadline)) {
        return false;
    }
    const float tolerance = kSideToleranceModules * module;
    for (Side* side : {&startLeft_, &stopRight_, &stopLeft_, &startRight_}) {
        if (side->fit(tolerance, kMinSidePoints, false) &&
            side->span(tolerance, kMaxGapModules * module) &&
            side->bottom - side->top >= kMinSideModules * module) {
            return true;
        }
    }
    return false;
}

bool Pdf417OutlineFinder::find(const GreyView& crop, float module, const Deadline& deadline,
                               Pdf417Outline& outline) {
    // Perspective enlarges the near end's modules past the estimate, which the far end's
    // small ones set: rows sampled coarser catch its patterns.
    clear();
    for (const float coarse : {1.0f, kCoarseScanFactor}) {
        if (!scan(crop, module * coarse, deadline)) {
            return false;
        }
        if (outlineFrom(module, outline)) {
            return true;
        }
    }
    return false;
}

bool Pdf417OutlineFinder::outlineFrom(float module, Pdf417Outline& outline) {
    const float tolerance = kSideToleranceModules * module;
    const bool upright = startLeft_.points.size() + stopRight_.points.size() >=
                         stopLeft_.points.size() + startRight_.points.size();
    Side& left = upright ? startLeft_ : stopLeft_;
    Side& right = upright ? stopRight_ : startRight_;
    // A side whose whole patterns are too few takes the rows where only the wide bar is clear.
    // Its ends are those of the longest stretch of rows near it of either kind.
    const auto fit = [&](Side& side) {
        return (side.fit(tolerance, kMinSidePoints, false) ||
                side.fit(tolerance, kMinSidePoints, true)) &&
               side.span(tolerance, kMaxGapModules * module);
    };
    if (!fit(left) || !fit(right) || left.bottom - left.top < kMinSideModules * module ||
        right.bottom - right.top < kMinSideModules * module) {
        return false;
    }
    const float margin = static_cast<float>(rowStepPixels(module)) / 2;
    const PointF leftTop = left.point(left.top - margin);
    const PointF leftBottom = left.point(left.bottom + margin);
    const PointF rightTop = right.point(right.top - margin);
    const PointF rightBottom = right.point(right.bottom + margin);
    if (rightTop.x - leftTop.x < kMinWidthModules * module ||
        rightBottom.x - leftBottom.x < kMinWidthModules * module) {
        return false;
    }
    // Upside down, the start pattern is the right side: the view turns half round.
    outline.corners = upright ? Quad{leftTop, rightTop, rightBottom, leftBottom}
                              : Quad{rightBottom, leftBottom, leftTop, rightTop};
    outline.module = median(modules_);
    return true;
}

}  // namespace telo::engine
