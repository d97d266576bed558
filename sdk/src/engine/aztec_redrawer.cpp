// SPDX-License-Identifier: MIT
#include "engine/aztec_redrawer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "engine/printed_box.h"

namespace telo::engine {

namespace {

/// Bullseye rings are one module each; a run counts as a ring when it is within these shares
/// of the module (blur and the threshold move edges by part of a module), and a dark ring and
/// the light one beside it within these shares of two modules.
constexpr float kMinRingShare = 0.45f;
constexpr float kMaxRingShare = 1.6f;
constexpr float kMinPairShare = 0.75f;
constexpr float kMaxPairShare = 1.3f;
/// The bullseye is looked for this share of the view's smaller side around its middle.
constexpr float kSearchShare = 0.2f;
/// The symbol ends where this many modules' width of lines across it carry no print within
/// kBandModules of the bullseye's middle.
constexpr float kQuietGapModules = 1;
constexpr float kBandModules = 4;
/// The redrawing: pixels per module and a quiet zone of modules all round.
constexpr int kDrawnModule = 6;
constexpr int kQuietModules = 4;
/// Symbol sizes, modules a side: compact symbols of one to four layers, full-range symbols of
/// four to thirty-two layers (their reference grid adds a line every sixteen modules).
constexpr std::array<int, 4> kCompactSizes = {15, 19, 23, 27};
constexpr std::array<int, 29> kFullSizes = {31,  37,  41,  45,  49,  53,  57,  61,  67,  71,
                                            75,  79,  83,  87,  91,  95,  101, 105, 109, 113,
                                            117, 121, 125, 131, 135, 139, 143, 147, 151};
constexpr std::array<int, 3> kSmallFullSizes = {19, 23, 27};
/// Sizes tried, nearest the estimate first: an estimate from the view is off by a layer or two.
constexpr std::size_t kMaxSizes = 4;
/// Turns are fitted to the bullseye's middle and to its module over this many modules.
constexpr float kTurnModules = 4;
/// Bullseyes reach this many modules out from the middle module.
constexpr int kCompactBullseyeReach = 4;
constexpr int kFullBullseyeReach = 6;
/// Symbols located by their extent: modules within these shares of the expected module, and
/// bullseyes that match the print in at least this share of their modules (glare blanks a
/// few; unrelated print matches about half).
constexpr float kMinModuleShare = 0.6f;
constexpr float kMaxModuleShare = 1.6f;
constexpr float kMinBullseyeMatch = 0.8f;
/// A module is sampled at its middle and at four points this share of a module from it.
constexpr float kVoteShare = 0.2f;

}  // namespace

bool AztecRedrawer::isDark(int x, int y) const {
    return x >= 0 && y >= 0 && x < view_.width && y < view_.height &&
           view_.at(x, y) < kSquareOnDarkBelow;
}

void AztecRedrawer::findRuns(int at, bool horizontal) {
    const int length = horizontal ? view_.width : view_.height;
    auto dark = [&](int i) { return horizontal ? isDark(i, at) : isDark(at, i); };
    runs_.clear();
    runs_.push_back(0);
    for (int i = 1; i < length; ++i) {
        if (dark(i) != dark(i - 1)) {
            runs_.push_back(i);
        }
    }
    runs_.push_back(length);
    firstDark_ = dark(0);
}

bool AztecRedrawer::findRings(int at, int near, bool horizontal, int darkRings, Rings& rings) {
    findRuns(at, horizontal);
    const int count = static_cast<int>(runs_.size()) - 1;
    int run = 0;
    while (run < count && runs_[run + 1] <= near) {
        ++run;
    }
    // `near` may fall just beside the middle module where blur has thinned it: the dark runs
    // on either side of a light one are tried too.
    for (const int middle : {run, run - 1, run + 1}) {
        if (middle >= 0 && middle < count && isDarkRun(middle) &&
            ringsAround(middle, count, darkRings, rings)) {
            return true;
        }
    }
    return false;
}

bool AztecRedrawer::ringsAround(int middle, int count, int darkRings, Rings& rings) const {
    auto width = [&](int run) { return static_cast<float>(runs_[run + 1] - runs_[run]); };
    const int side = 2 * darkRings;
    if (middle - side < 0 || middle + side >= count) {
        return false;
    }
    // Each half keeps its own module width (perspective left in the view). Within a half,
    // blur and the threshold may thin dark rings and widen light ones, but a light ring and
    // the dark one outside it stay two modules together. The outermost dark ring runs on
    // into any dark modules of the mode message beyond it, so only its inner edge counts.
    bool even = true;
    float reach = 0;
    for (const int direction : {-1, 1}) {
        float inner = width(middle) / 2;
        for (int k = 1; k < side; ++k) {
            inner += width(middle + direction * k);
        }
        const float module = inner / (side - 0.5f);
        even = even && width(middle) >= kMinRingShare * module &&
               width(middle) <= kMaxRingShare * module &&
               width(middle + direction * side) >= kMinRingShare * module;
        for (int k = 1; k < side && even; ++k) {
            const float ring = width(middle + direction * k);
            even = ring >= kMinRingShare * module && ring <= kMaxRingShare * module;
        }
        for (int k = 1; k + 1 < side && even; k += 2) {
            const float pair = width(middle + direction * k) + width(middle + direction * (k + 1));
            even = pair >= 2 * kMinPairShare * module && pair <= 2 * kMaxPairShare * module;
        }
        reach += inner;
    }
    if (!even) {
        return false;
    }
    rings.centre = (runs_[middle] + runs_[middle + 1]) / 2.0f;
    rings.module = reach / (2 * side - 1.0f);
    rings.darkRings = darkRings;
    return true;
}

bool AztecRedrawer::extent(bool horizontal, int centre, int from, int reach, int gap, int& first,
                           int& last) const {
    const int length = horizontal ? view_.width : view_.height;
    const int across = horizontal ? view_.height : view_.width;
    auto printed = [&](int i) {
        for (int k = std::max(centre - reach, 0); k <= std::min(centre + reach, across - 1); ++k) {
            if (horizontal ? isDark(i, k) : isDark(k, i)) {
                return true;
            }
        }
        return false;
    };
    // Outwards from the bullseye until `gap` unprinted lines in a row: the quiet zone.
    for (const int step : {-1, 1}) {
        int end = from;
        for (int i = from, blank = 0; i >= 0 && i < length && blank < gap; i += step) {
            if (printed(i)) {
                end = i;
                blank = 0;
            } else {
                ++blank;
            }
        }
        (step < 0 ? first : last) = end;
    }
    return last > first;
}

bool AztecRedrawer::locate(const GreyView& view, const Deadline& deadline) {
    view_ = view;
    layouts_.clear();
    ringsMeasured_ = true;
    const int reach = static_cast<int>(kSearchShare * std::min(view.width, view.height));
    const int midX = view.width / 2;
    const int midY = view.height / 2;
    bool found = false;
    // Rows outwards from the middle; along each, the bullseyes whose middle lies within reach
    // of the view's middle, checked down their column.
    for (int dy = 0; dy <= reach && !found; ++dy) {
        if (deadline.passed()) {
            return false;
        }
        for (const int y : {midY - dy, midY + dy}) {
            findRuns(y, true);
            const int count = static_cast<int>(runs_.size()) - 1;
            for (int middle = 0; middle < count && !found; ++middle) {
                const int centre = (runs_[middle] + runs_[middle + 1]) / 2;
                if (!isDarkRun(middle) || std::abs(centre - midX) > reach) {
                    continue;
                }
                // Three dark rings round the middle module make a full-range bullseye, two a
                // compact one; a compact symbol's mode message may carry on the rings' pattern
                // along one line, so each count is checked down the column in turn.
                for (const int darkRings : {3, 2}) {
                    if (!found && ringsAround(middle, count, darkRings, across_)) {
                        found = findRings(static_cast<int>(across_.centre), y, false, darkRings,
                                          down_) &&
                                ringsSquare();
                        // The column search replaced the row's runs.
                        findRuns(y, true);
                    }
                }
            }
            if (found) {
                break;
            }
        }
    }
    if (!found) {
        return false;
    }
    // Recentre the row through the middle of the bullseye.
    findRings(static_cast<int>(down_.centre), static_cast<int>(across_.centre), true,
              down_.darkRings, across_);
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    // Print is looked for in a band a few modules either side of the bullseye's middle: every
    // line across the symbol there crosses dark modules, while the band stays clear of print
    // beyond the symbol's other sides.
    const float module = (across_.module + down_.module) / 2;
    const int band = static_cast<int>(kBandModules * module);
    const int gap = static_cast<int>(kQuietGapModules * module) + 1;
    if (!extent(true, static_cast<int>(down_.centre), static_cast<int>(across_.centre), band, gap,
                left, right) ||
        !extent(false, static_cast<int>(across_.centre), static_cast<int>(down_.centre), band, gap,
                top, bottom)) {
        return false;
    }
    // The bullseye sits at the symbol's middle, so its halves are alike; print beyond the
    // symbol only ever lengthens a half, so the shorter of each pair counts.
    halfWidth_ = std::min(across_.centre - left, right + 1 - across_.centre);
    halfHeight_ = std::min(down_.centre - top, bottom + 1 - down_.centre);
    const float estimate = halfWidth_ / across_.module + halfHeight_ / down_.module;
    // The candidate sizes nearest the estimate, nearest first.
    const bool compact = across_.darkRings == 2;
    auto add = [&](int size) { layouts_.push_back({size, compact, {}, {}}); };
    if (compact) {
        std::for_each(kCompactSizes.begin(), kCompactSizes.end(), add);
    } else {
        std::for_each(kSmallFullSizes.begin(), kSmallFullSizes.end(), add);
        std::for_each(kFullSizes.begin(), kFullSizes.end(), add);
    }
    std::sort(layouts_.begin(), layouts_.end(), [&](const Layout& a, const Layout& b) {
        return std::fabs(a.size - estimate) < std::fabs(b.size - estimate);
    });
    layouts_.resize(std::min(layouts_.size(), kMaxSizes));
    return true;
}

bool AztecRedrawer::ringsSquare() const {
    // Bars crossed by a row and a column may look like rings along both; only a bullseye has
    // its rings all round.
    const int reach = 2 * across_.darkRings;
    const float offset = kVoteShare * (across_.module + down_.module) / 2;
    int matching = 0;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const bool ring = std::max(std::abs(dx), std::abs(dy)) % 2 == 0;
            const bool dark = moduleDark(across_.centre + dx * across_.module,
                                         down_.centre + dy * down_.module, offset);
            matching += dark == ring ? 1 : 0;
        }
    }
    return static_cast<float>(matching) >=
           kMinBullseyeMatch * static_cast<float>((2 * reach + 1) * (2 * reach + 1));
}

PointF AztecRedrawer::modulePoint(const Layout& layout, int column, int row) const {
    const PointF p = outline_.at((column + 0.5f) / layout.size, (row + 0.5f) / layout.size,
                                 layout.across, layout.down);
    // The outline measures from pixels' edges; isDark() takes pixels' middles.
    return {p.x - 0.5f, p.y - 0.5f};
}

float AztecRedrawer::bullseyeMatch(const Layout& layout) const {
    const int reach = layout.compact ? kCompactBullseyeReach : kFullBullseyeReach;
    const int middle = layout.size / 2;
    const float offset = kVoteShare * (halfWidth_ + halfHeight_) / layout.size;
    int matching = 0;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const bool ring = std::max(std::abs(dx), std::abs(dy)) % 2 == 0;
            const PointF p = modulePoint(layout, middle + dx, middle + dy);
            matching += moduleDark(p.x, p.y, offset) == ring ? 1 : 0;
        }
    }
    return static_cast<float>(matching) / static_cast<float>((2 * reach + 1) * (2 * reach + 1));
}

BentOutline::Turn AztecRedrawer::turnFromRings(const Rings& rings, float start, float length,
                                               int size) {
    // The turn that puts the symbol's middle where the rings have theirs, with their module.
    const float middle = (rings.centre + 0.5f - start) / length;
    const float slope = rings.module * static_cast<float>(size) / length;
    constexpr float kStep = 0.01f;
    BentOutline::Turn best;
    float bestError = 1e9f;
    for (const float from : kLabelTurns) {
        for (const float to : kLabelTurns) {
            const BentOutline::Turn turn{from, to};
            const float at = BentOutline::turned(0.5f, turn);
            const float rise = (BentOutline::turned(0.5f + kStep, turn) -
                                BentOutline::turned(0.5f - kStep, turn)) /
                               (2 * kStep);
            // Both errors in modules: the middle's place, and the module's size over
            // kTurnModules modules.
            const float error = std::pow((at - middle) * size, 2.0f) +
                                std::pow((rise - slope) * kTurnModules, 2.0f);
            if (error < bestError) {
                bestError = error;
                best = turn;
            }
        }
    }
    return best;
}

bool AztecRedrawer::locateByExtent(const GreyView& view, float module) {
    // Rings found in this view by locate() place the symbol's middle and its module there.
    const bool rings = ringsMeasured_ && view.data == view_.data && !layouts_.empty();
    view_ = view;
    layouts_.clear();
    ringsMeasured_ = false;
    PrintedBox box;
    if (!printedBox(view, module, box)) {
        return false;
    }
    const int left = box.left;
    const int top = box.top;
    halfWidth_ = (box.right + 1 - left) / 2.0f;
    halfHeight_ = (box.bottom + 1 - top) / 2.0f;
    outline_.fit(view, static_cast<float>(left), static_cast<float>(top), 2 * halfWidth_,
                 2 * halfHeight_, module);
    std::vector<std::pair<float, Layout>> scored;
    auto consider = [&](int size, bool compact) {
        const float share = std::min(halfWidth_, halfHeight_) * 2 / size / module;
        const float otherShare = std::max(halfWidth_, halfHeight_) * 2 / size / module;
        if (share < kMinModuleShare || otherShare > kMaxModuleShare ||
            (rings && compact != (across_.darkRings == 2))) {
            return;
        }
        Layout layout{size, compact, {}, {}};
        if (rings) {
            layout.across = turnFromRings(across_, static_cast<float>(left), 2 * halfWidth_, size);
            layout.down = turnFromRings(down_, static_cast<float>(top), 2 * halfHeight_, size);
        }
        const float match = bullseyeMatch(layout);
        if (match >= kMinBullseyeMatch) {
            scored.emplace_back(match, layout);
        }
    };
    for (const int size : kCompactSizes) {
        consider(size, true);
    }
    for (const int size : kSmallFullSizes) {
        consider(size, false);
    }
    for (const int size : kFullSizes) {
        consider(size, false);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < scored.size() && i < kMaxSizes; ++i) {
        layouts_.push_back(scored[i].second);
    }
    return !layouts_.empty();
}

float AztecRedrawer::position(float centre, float module, float half, int offset, int size) {
    // Rings near the middle give the module there; the symbol's edge lies `half` away. A
    // quadratic between the two follows what perspective or a curve leave in the view.
    const float edge = size / 2.0f;
    const float bend = (half - module * edge) / (edge * edge);
    const float distance = std::abs(offset) * module + offset * offset * bend;
    return centre + (offset < 0 ? -distance : distance);
}

bool AztecRedrawer::moduleDark(float x, float y, float offset) const {
    // The points here are pixels' middles; the shared vote measures from pixels' edges.
    return telo::engine::moduleDark(view_, {x + 0.5f, y + 0.5f}, offset);
}

GreyView AztecRedrawer::draw(const Layout& layout) {
    const int size = layout.size;
    drawing_.start(size, size, kDrawnModule, kQuietModules);
    const int middle = size / 2;
    const float moduleX = ringsMeasured_ ? across_.module : 2 * halfWidth_ / size;
    const float moduleY = ringsMeasured_ ? down_.module : 2 * halfHeight_ / size;
    const float offset = kVoteShare * (moduleX + moduleY) / 2;
    const int reach = layout.compact ? kCompactBullseyeReach : kFullBullseyeReach;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            // Rings give the middle and the module there; an outline, the sides and the turns.
            PointF p;
            if (ringsMeasured_) {
                p = {position(across_.centre, moduleX, halfWidth_, column - middle, size),
                     position(down_.centre, moduleY, halfHeight_, row - middle, size)};
            } else {
                p = modulePoint(layout, column, row);
            }
            // Without the rings in the print, the bullseye is drawn as it is printed.
            const int ring = std::max(std::abs(row - middle), std::abs(column - middle));
            const bool dark =
                !ringsMeasured_ && ring <= reach ? ring % 2 == 0 : moduleDark(p.x, p.y, offset);
            if (dark) {
                drawing_.fill(column, row);
            }
        }
    }
    return drawing_.view();
}

}  // namespace telo::engine
