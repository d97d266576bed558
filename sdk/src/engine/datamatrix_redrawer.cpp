// SPDX-License-Identifier: MIT
#include "engine/datamatrix_redrawer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "engine/printed_span.h"

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

void DataMatrixRedrawer::sample(const Grid& grid) {
    const float moduleX = width_ / grid.columns;
    const float moduleY = height_ / grid.rows;
    const float offset = kVoteShare * std::min(moduleX, moduleY);
    auto dark = [&](float x, float y) {
        const int px = static_cast<int>(x);
        const int py = static_cast<int>(y);
        return px >= 0 && py >= 0 && px < view_.width && py < view_.height &&
               view_.at(px, py) < kSquareOnDarkBelow;
    };
    modules_.resize(static_cast<std::size_t>(grid.columns) * grid.rows);
    for (int row = 0; row < grid.rows; ++row) {
        const float y = top_ + (row + 0.5f) * moduleY;
        for (int column = 0; column < grid.columns; ++column) {
            const float x = left_ + (column + 0.5f) * moduleX;
            const int votes = (dark(x, y) ? 1 : 0) + (dark(x - offset, y) ? 1 : 0) +
                              (dark(x + offset, y) ? 1 : 0) + (dark(x, y - offset) ? 1 : 0) +
                              (dark(x, y + offset) ? 1 : 0);
            modules_[static_cast<std::size_t>(row) * grid.columns + column] = votes >= 3 ? 1 : 0;
        }
    }
}

int DataMatrixRedrawer::border(const Grid& grid, int column, int row) const {
    // Distances from the L's two sides: the L runs along the sides at distance 0, the clock
    // track along the far sides, dark at even distances from the L.
    const bool right = corner_ == 1 || corner_ == 2;
    const bool bottom = corner_ == 2 || corner_ == 3;
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

bool DataMatrixRedrawer::locate(const GreyView& view, float module) {
    view_ = view;
    grids_.clear();
    // A line crossing the symbol crosses dark modules; specks of noise are smaller than one.
    const int minDark = std::max(2, static_cast<int>(module / 2));
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    if (!printedSpan(view, true, minDark, left, right) ||
        !printedSpan(view, false, minDark, top, bottom)) {
        return false;
    }
    left_ = static_cast<float>(left);
    top_ = static_cast<float>(top);
    width_ = static_cast<float>(right + 1 - left);
    height_ = static_cast<float>(bottom + 1 - top);
    std::vector<std::pair<float, Grid>> scored;
    corners_.clear();
    auto consider = [&](int columns, int rows) {
        const float moduleX = width_ / columns;
        const float moduleY = height_ / rows;
        if (std::min(moduleX, moduleY) < kMinModuleShare * module ||
            std::max(moduleX, moduleY) > kMaxModuleShare * module) {
            return;
        }
        const Grid grid{columns, rows};
        sample(grid);
        // The corner whose L and clock track match the print best.
        float best = 0;
        int bestCorner = 0;
        for (corner_ = 0; corner_ < 4; ++corner_) {
            int solid = 0;
            int solidMatching = 0;
            int clock = 0;
            int clockMatching = 0;
            for (int row = 0; row < rows; ++row) {
                for (int column = 0; column < columns; ++column) {
                    const int expected = border(grid, column, row);
                    if (expected < 0) {
                        continue;
                    }
                    const bool matching =
                        modules_[static_cast<std::size_t>(row) * columns + column] ==
                        (expected != 0 ? 1 : 0);
                    const bool onL = expected == kOnL;
                    (onL ? solid : clock) += 1;
                    (onL ? solidMatching : clockMatching) += matching ? 1 : 0;
                }
            }
            const float solidShare = static_cast<float>(solidMatching) / std::max(solid, 1);
            const float clockShare = static_cast<float>(clockMatching) / std::max(clock, 1);
            if (solidShare >= kMinSideMatch && clockShare >= kMinSideMatch &&
                solidShare + clockShare > best) {
                best = solidShare + clockShare;
                bestCorner = corner_;
            }
        }
        if (best > 0) {
            scored.emplace_back(best, grid);
            corners_.push_back(bestCorner);
        }
    };
    for (const int size : kSquareSizes) {
        consider(size, size);
    }
    for (const auto& [rows, columns] : kRectangularSizes) {
        consider(columns, rows);
        consider(rows, columns);
    }
    // Best first; the corners go along.
    std::vector<std::size_t> order(scored.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return scored[a].first > scored[b].first; });
    order.resize(std::min(order.size(), kMaxGrids));
    std::vector<int> corners;
    for (const std::size_t i : order) {
        grids_.push_back(scored[i].second);
        corners.push_back(corners_[i]);
    }
    corners_ = corners;
    return !grids_.empty();
}

GreyView DataMatrixRedrawer::draw(const Grid& grid) {
    for (std::size_t i = 0; i < grids_.size(); ++i) {
        if (grids_[i].columns == grid.columns && grids_[i].rows == grid.rows) {
            corner_ = corners_[i];
        }
    }
    sample(grid);
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
