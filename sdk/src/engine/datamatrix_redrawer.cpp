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
constexpr std::array<int, 24> kSquareSizes = {10, 12, 14, 16,  18,  20,  22,  24,
                                              26, 32, 36, 40,  44,  48,  52,  64,
                                              72, 80, 88, 96, 104, 120, 132, 144};
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
    const float offset = kVoteShare * std::min(width_ / grid.columns, height_ / grid.rows);
    auto dark = [&](float x, float y) {
        // Points off the view are light, and are compared before they are converted.
        return x >= 0 && y >= 0 && x < static_cast<float>(view_.width) &&
               y < static_cast<float>(view_.height) &&
               view_.at(static_cast<int>(x), static_cast<int>(y)) < kSquareOnDarkBelow;
    };
    modules_.resize(static_cast<std::size_t>(grid.columns) * grid.rows);
    for (int row = 0; row < grid.rows; ++row) {
        const bool edgeRow = row == 0 || row == grid.rows - 1;
        for (int column = 0; column < grid.columns;
             column += sidesOnly && !edgeRow ? grid.columns - 1 : 1) {
            const PointF p = outline_.at((column + 0.5f) / grid.columns,
                                         (row + 0.5f) / grid.rows, grid.across, grid.down);
            const int votes = (dark(p.x, p.y) ? 1 : 0) + (dark(p.x - offset, p.y) ? 1 : 0) +
                              (dark(p.x + offset, p.y) ? 1 : 0) +
                              (dark(p.x, p.y - offset) ? 1 : 0) + (dark(p.x, p.y + offset) ? 1 : 0);
            modules_[static_cast<std::size_t>(row) * grid.columns + column] = votes >= 3 ? 1 : 0;
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
    PrintedBox box;
    if (!printedBox(view, module, box)) {
        return false;
    }
    const int left = box.left;
    const int top = box.top;
    width_ = static_cast<float>(box.right + 1 - left);
    height_ = static_cast<float>(box.bottom + 1 - top);
    outline_.fit(view, static_cast<float>(left), static_cast<float>(top), width_, height_, module);
    std::vector<std::pair<float, Grid>> scored;
    auto consider = [&](int columns, int rows) {
        const float moduleX = width_ / columns;
        const float moduleY = height_ / rows;
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
        float bestRow = -1;
        float bestColumn = -1;
        Grid turned = grid;
        for (std::size_t i = 0; i < kLabelTurns.size(); ++i) {
            for (std::size_t j = 0; j < kLabelTurns.size(); ++j) {
                const BentOutline::Turn turn{kLabelTurns[i], kLabelTurns[j]};
                if (i == j && i != 0) {
                    continue;
                }
                Grid trial = grid;
                trial.across = turn;
                trial.down = turn;
                sample(trial, true);
                const SideMatch match = matchSides(trial);
                if (match.clockRow > bestRow) {
                    bestRow = match.clockRow;
                    turned.across = turn;
                }
                if (match.clockColumn > bestColumn) {
                    bestColumn = match.clockColumn;
                    turned.down = turn;
                }
            }
        }
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
    const int width = (grid.columns + 2 * kQuietModules) * kDrawnModule;
    const int height = (grid.rows + 2 * kQuietModules) * kDrawnModule;
    pixels_.assign(static_cast<std::size_t>(width) * height, 255);
    for (int row = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            const int side = border(grid, column, row);
            const bool dark = side >= 0
                                  ? side != 0
                                  : modules_[static_cast<std::size_t>(row) * grid.columns +
                                             column] != 0;
            if (!dark) {
                continue;
            }
            for (int py = 0; py < kDrawnModule; ++py) {
                std::uint8_t* out =
                    pixels_.data() +
                    static_cast<std::size_t>((row + kQuietModules) * kDrawnModule + py) * width +
                    (column + kQuietModules) * kDrawnModule;
                std::fill(out, out + kDrawnModule, 0);
            }
        }
    }
    return {pixels_.data(), width, height, width};
}

}  // namespace telo::engine
