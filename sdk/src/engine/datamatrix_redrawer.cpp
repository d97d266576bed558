// SPDX-License-Identifier: MIT
#include "engine/datamatrix_redrawer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "engine/printed_box.h"

namespace telo::engine {

namespace {

/// Symbol sizes, modules a side: the square ones and the rectangular ones (rows, columns).
constexpr std::array<int, 24> kSquareSizes = {10, 12, 14, 16, 18, 20, 22, 24, 26,  32,  36,  40,
                                              44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};
constexpr std::array<std::pair<int, int>, 6> kRectangularSizes = {
    {{8, 18}, {8, 32}, {12, 26}, {12, 36}, {16, 36}, {16, 48}}};
/// Grids whose modules are within these shares of the expected module.
constexpr float kMinModuleShare = 0.6f;
constexpr float kMaxModuleShare = 1.6f;
/// A grid fits when its L sides and its clock track each match the print in at least this
/// share of their modules: glare blanks a few, and a clock track sampled with the wrong number
/// of modules matches about half.
constexpr float kMinSideMatch = 0.8f;
/// Grids tried per symbol.
constexpr std::size_t kMaxGrids = 3;
/// The redrawing: pixels per module and a quiet zone of modules all round.
constexpr int kDrawnModule = 5;
constexpr int kQuietModules = 2;
/// What border() gives for a module of the L.
constexpr int kOnL = 2;
/// A module is sampled at its middle and at four points this share of a module from it.
constexpr float kVoteShare = 0.2f;

}  // namespace

void DataMatrixRedrawer::sample(const Grid& grid, bool sidesOnly) {
    const float offset =
        kVoteShare * std::min(outline_.width() / grid.columns, outline_.height() / grid.rows);
    modules_.resize(static_cast<std::size_t>(grid.columns) * grid.rows);
    for (int row = 0; row < grid.rows; ++row) {
        const bool edgeRow = row == 0 || row == grid.rows - 1;
        for (int column = 0; column < grid.columns;
             column += sidesOnly && !edgeRow ? grid.columns - 1 : 1) {
            const PointF p = outline_.at((column + 0.5f) / grid.columns, (row + 0.5f) / grid.rows,
                                         grid.across, grid.down);
            modules_[static_cast<std::size_t>(row) * grid.columns + column] =
                moduleDark(view_, p, offset) ? 1 : 0;
        }
    }
}

int DataMatrixRedrawer::border(const Grid& grid, int column, int row) {
    // Distances from the L's two sides: the L runs along the sides at distance 0, the clock
    // track along the far sides, dark at even distances from the L.
    const bool right = grid.corner == 1 || grid.corner == 2;
    const bool bottom = grid.corner == 2 || grid.corner == 3;
    const int fromSide = right ? grid.columns - 1 - column : column;
    const int fromEnd = bottom ? grid.rows - 1 - row : row;
    if (fromSide == 0 || fromEnd == 0) {
        return kOnL;
    }
    if (fromSide == grid.columns - 1) {
        return fromEnd % 2 == 0 ? 1 : 0;
    }
    if (fromEnd == grid.rows - 1) {
        return fromSide % 2 == 0 ? 1 : 0;
    }
    return -1;
}

DataMatrixRedrawer::SideMatch DataMatrixRedrawer::matchSides(const Grid& grid) const {
    // Modules and matching modules of the L, the clock row and the clock column.
    std::array<int, 3> count{};
    std::array<int, 3> matching{};
    auto check = [&](int column, int row) {
        const int expected = border(grid, column, row);
        const bool rowEnd = row == 0 || row == grid.rows - 1;
        const std::size_t part = expected == kOnL ? 0 : rowEnd ? 1 : 2;
        count[part] += 1;
        matching[part] += modules_[static_cast<std::size_t>(row) * grid.columns + column] ==
                                  (expected != 0 ? 1 : 0)
                              ? 1
                              : 0;
    };
    for (int column = 0; column < grid.columns; ++column) {
        check(column, 0);
        check(column, grid.rows - 1);
    }
    for (int row = 1; row + 1 < grid.rows; ++row) {
        check(0, row);
        check(grid.columns - 1, row);
    }
    auto share = [&](std::size_t part) {
        return static_cast<float>(matching[part]) / static_cast<float>(std::max(count[part], 1));
    };
    return {share(0), share(1), share(2)};
}

bool DataMatrixRedrawer::locate(const GreyView& view, float module, const Deadline& deadline) {
    view_ = view;
    grids_.clear();
    if (!outline_.fitPrint(view, module)) {
        return false;
    }
    std::vector<std::pair<float, Grid>> scored;
    auto consider = [&](int columns, int rows) {
        const float moduleX = outline_.width() / columns;
        const float moduleY = outline_.height() / rows;
        if (deadline.passed() || std::min(moduleX, moduleY) < kMinModuleShare * module ||
            std::max(moduleX, moduleY) > kMaxModuleShare * module) {
            return;
        }
        // The corner whose L and clock track match the print best, the sides taken flat.
        Grid grid{columns, rows, 0, {}, {}};
        sample(grid, true);
        float best = -1;
        for (int corner = 0; corner < 4; ++corner) {
            const SideMatch match = matchSides({columns, rows, corner, {}, {}});
            const float total = match.solid + match.clockRow + match.clockColumn;
            if (total > best) {
                best = total;
                grid.corner = corner;
            }
        }
        if (matchSides(grid).solid < kMinSideMatch) {
            return;
        }
        // The turns that fit the clock track's row and column best; the row lies along the
        // symbol's edge, where the turn down hardly moves it, and so the column.
        Grid turned = grid;
        BentOutline::fitTurns(
            [&](const BentOutline::Turn& turn) {
                Grid trial = grid;
                trial.across = turn;
                trial.down = turn;
                sample(trial, true);
                const SideMatch match = matchSides(trial);
                return std::pair{match.clockRow, match.clockColumn};
            },
            turned.across, turned.down);
        sample(turned, true);
        const SideMatch match = matchSides(turned);
        if (match.solid >= kMinSideMatch && match.clockRow >= kMinSideMatch &&
            match.clockColumn >= kMinSideMatch) {
            scored.emplace_back(match.solid + match.clockRow + match.clockColumn, turned);
        }
    };
    for (const int size : kSquareSizes) {
        consider(size, size);
    }
    for (const auto& [rows, columns] : kRectangularSizes) {
        consider(columns, rows);
        consider(rows, columns);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 0; i < scored.size() && i < kMaxGrids; ++i) {
        grids_.push_back(scored[i].second);
    }
    return !grids_.empty();
}

GreyView DataMatrixRedrawer::draw(const Grid& grid) {
    sample(grid, false);
    drawing_.start(grid.columns, grid.rows, kDrawnModule, kQuietModules);
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            const int side = border(grid, column, row);
            if (side >= 0 ? side != 0
                          : modules_[static_cast<std::size_t>(row) * grid.columns + column] != 0) {
                drawing_.fill(column, row);
            }
        }
    }
    return drawing_.view();
}

}  // namespace telo::engine
