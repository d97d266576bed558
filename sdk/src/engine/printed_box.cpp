// SPDX-License-Identifier: MIT
#include "engine/printed_box.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <vector>

namespace telo::engine {

namespace {

/// The first and last of the lines counted in `dark` (dark pixels per line) around the line
/// with the most: lines with at least `minDark`, up to gaps of `gap` lines without; false when
/// no line has `minDark`.
bool printedSpan(const std::vector<int>& dark, int minDark, int gap, int& first, int& last) {
    const auto densest = std::max_element(dark.begin(), dark.end());
    if (densest == dark.end() || *densest < minDark) {
        return false;
    }
    const int length = static_cast<int>(dark.size());
    const int start = static_cast<int>(densest - dark.begin());
    for (const int step : {-1, 1}) {
        int end = start;
        for (int i = start, blank = 0; i >= 0 && i < length && blank < gap; i += step) {
            if (dark[static_cast<std::size_t>(i)] >= minDark) {
                end = i;
                blank = 0;
            } else {
                ++blank;
            }
        }
        (step < 0 ? first : last) = end;
    }
    return true;
}

}  // namespace

bool moduleDark(const GreyView& view, PointF p, float offset) {
    // Points off the view are compared before they are converted.
    auto dark = [&](float x, float y) {
        return x >= 0 && y >= 0 && x < static_cast<float>(view.width) &&
               y < static_cast<float>(view.height) &&
               view.at(static_cast<int>(x), static_cast<int>(y)) < kSquareOnDarkBelow;
    };
    const int votes = (dark(p.x, p.y) ? 1 : 0) + (dark(p.x - offset, p.y) ? 1 : 0) +
                      (dark(p.x + offset, p.y) ? 1 : 0) + (dark(p.x, p.y - offset) ? 1 : 0) +
                      (dark(p.x, p.y + offset) ? 1 : 0);
    return votes >= 3;
}

bool printedBox(const GreyView& view, float module, PrintedBox& box) {
    // A line crossing the symbol crosses dark modules, and inside it no module's width of
    // lines is blank; specks of noise are smaller than half a module.
    const int minDark = std::max(2, static_cast<int>(module / 2));
    const int gap = static_cast<int>(module) + 1;
    std::vector<int> columns(static_cast<std::size_t>(view.width), 0);
    std::vector<int> rows(static_cast<std::size_t>(view.height), 0);
    for (int y = 0; y < view.height; ++y) {
        const std::uint8_t* line = view.data + static_cast<std::ptrdiff_t>(y) * view.stride;
        for (int x = 0; x < view.width; ++x) {
            if (line[x] < kSquareOnDarkBelow) {
                ++columns[static_cast<std::size_t>(x)];
                ++rows[static_cast<std::size_t>(y)];
            }
        }
    }
    return printedSpan(columns, minDark, gap, box.left, box.right) &&
           printedSpan(rows, minDark, gap, box.top, box.bottom);
}

}  // namespace telo::engine
