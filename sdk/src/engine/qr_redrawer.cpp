// SPDX-License-Identifier: MIT
#include "engine/qr_redrawer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "engine/printed_box.h"

namespace telo::engine {

namespace {

/// Versions 1 to 40: 21 to 177 modules a side.
constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;
/// Grids whose modules are within these shares of the expected module.
constexpr float kMinModuleShare = 0.6f;
constexpr float kMaxModuleShare = 1.6f;
/// A grid fits when its finder patterns and its timing patterns each match the print in at
/// least this share of their modules: glare blanks a few, and a timing pattern sampled with
/// the wrong number of modules matches about half.
constexpr float kMinMatch = 0.8f;
/// Grids tried per symbol.
constexpr std::size_t kMaxGrids = 3;
/// The redrawing: pixels per module and a quiet zone of modules all round.
constexpr int kDrawnModule = 5;
constexpr int kQuietModules = 4;
/// A module is sampled at its middle and at four points this share of a module from it.
constexpr float kVoteShare = 0.2f;
/// Finder patterns are seven modules a side; their separators make eight.
constexpr int kFinderModules = 7;
/// The timing patterns run along the seventh row and column from the finder patterns' corner.
constexpr int kTimingLine = 6;

/// What a module of a symbol is: part of a finder pattern or its separator, of the timing
/// pattern along a row or down a column, or free (data, format, alignment).
enum class Part { kFinder, kTimingRow, kTimingColumn, kFree };

/// The part module `column`, `row` of `grid` belongs to, and whether it is printed dark there.
std::pair<Part, bool> fixedModule(const QrRedrawer::Grid& grid, int column, int row) {
    // Distances from the sides that meet at the corner opposite the one without a finder:
    // there the three finder patterns sit as they sit in any orientation.
    const int opposite = (grid.corner + 2) % 4;
    const bool fromLeft = opposite == 0 || opposite == 3;
    const bool fromTop = opposite == 0 || opposite == 1;
    const int size = grid.size;
    const int dx = fromLeft ? column : size - 1 - column;
    const int dy = fromTop ? row : size - 1 - row;
    const int far = size - kFinderModules;
    const bool nearX = dx <= kFinderModules;
    const bool nearY = dy <= kFinderModules;
    const bool farX = dx >= far - 1;
    const bool farY = dy >= far - 1;
    if ((nearX && nearY) || (farX && nearY) || (nearX && farY)) {
        const int x = farX ? dx - far : dx;
        const int y = farY ? dy - far : dy;
        const bool inside = x >= 0 && y >= 0 && x < kFinderModules && y < kFinderModules;
        const int ring = std::max(std::abs(x - 3), std::abs(y - 3));
        return {Part::kFinder, inside && ring != 2};
    }
    if (dy == kTimingLine) {
        return {Part::kTimingRow, dx % 2 == 0};
    }
    if (dx == kTimingLine) {
        return {Part::kTimingColumn, dy % 2 == 0};
    }
    return {Part::kFree, false};
}

}  // namespace

bool QrRedrawer::sampleDark(const Grid& grid, int column, int row) const {
    const PointF p =
        outline_.at((column + 0.5f) / grid.size, (row + 0.5f) / grid.size, grid.across, grid.down);
    return moduleDark(view_, p,
                      kVoteShare * std::min(outline_.width(), outline_.height()) / grid.size);
}

QrRedrawer::Match QrRedrawer::match(const Grid& grid) const {
    // Modules and matching modules of the finder patterns, the timing row and timing column.
    int count[3] = {0, 0, 0};
    int matching[3] = {0, 0, 0};
    for (int row = 0; row < grid.size; ++row) {
        for (int column = 0; column < grid.size; ++column) {
            const auto [part, dark] = fixedModule(grid, column, row);
            if (part == Part::kFree) {
                continue;
            }
            const int k = static_cast<int>(part);
            count[k] += 1;
            matching[k] += sampleDark(grid, column, row) == dark ? 1 : 0;
        }
    }
    auto share = [&](int k) {
        return static_cast<float>(matching[k]) / static_cast<float>(std::max(count[k], 1));
    };
    return {share(0), share(1), share(2)};
}

bool QrRedrawer::locate(const GreyView& view, float module, const Deadline& deadline) {
    view_ = view;
    grids_.clear();
    if (!outline_.fitPrint(view, module)) {
        return false;
    }
    std::vector<std::pair<float, Grid>> scored;
    for (int version = kMinVersion; version <= kMaxVersion; ++version) {
        const int size = 17 + 4 * version;
        const float moduleX = outline_.width() / size;
        const float moduleY = outline_.height() / size;
        if (deadline.passed()) {
            return false;
        }
        if (std::min(moduleX, moduleY) < kMinModuleShare * module ||
            std::max(moduleX, moduleY) > kMaxModuleShare * module) {
            continue;
        }
        // The corner without a finder pattern, the sides taken flat.
        Grid grid{size, 0, {}, {}};
        float best = -1;
        for (int corner = 0; corner < 4; ++corner) {
            const Match found = match({size, corner, {}, {}});
            if (found.finders > best) {
                best = found.finders;
                grid.corner = corner;
            }
        }
        if (best < kMinMatch) {
            continue;
        }
        // The turns that fit the timing patterns best: the row's across, the column's down.
        Grid turned = grid;
        BentOutline::fitTurns(
            [&](const BentOutline::Turn& turn) {
                const Match found = match({size, grid.corner, turn, turn});
                return std::pair{found.timingRow, found.timingColumn};
            },
            turned.across, turned.down);
        const Match found = match(turned);
        if (found.finders >= kMinMatch && found.timingRow >= kMinMatch &&
            found.timingColumn >= kMinMatch) {
            scored.emplace_back(found.finders + found.timingRow + found.timingColumn, turned);
        }
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < scored.size() && i < kMaxGrids; ++i) {
        grids_.push_back(scored[i].second);
    }
    return !grids_.empty();
}

GreyView QrRedrawer::draw(const Grid& grid) {
    drawing_.start(grid.size, grid.size, kDrawnModule, kQuietModules);
    for (int row = 0; row < grid.size; ++row) {
        for (int column = 0; column < grid.size; ++column) {
            const auto [part, printed] = fixedModule(grid, column, row);
            if (part != Part::kFree ? printed : sampleDark(grid, column, row)) {
                drawing_.fill(column, row);
            }
        }
    }
    return drawing_.view();
}

}  // namespace telo::engine
