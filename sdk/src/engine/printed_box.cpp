// SPDX-License-Identifier: MIT
#include "engine/printed_box.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace telo::engine {

namespace {

/// The first and last line across `view` (columns when `horizontal`) of the print around the
/// line with the most: lines with at least `minDark` dark pixels, up to gaps of `gap` lines
/// without; false when no line has `minDark`.
bool printedSpan(const GreyView& view, bool horizontal, int minDark, int gap, int& first,
                 int& last) {
    const int length = horizontal ? view.width : view.height;
    // Dark pixels per line.
    std::vector<int> dark(static_cast<std::size_t>(length), 0);
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x) {
            if (view.at(x, y) < kSquareOnDarkBelow) {
                ++dark[static_cast<std::size_t>(horizontal ? x : y)];
            }
        }
    }
    // Outwards from the line with the most print until `gap` lines in a row without.
    const auto densest = std::max_element(dark.begin(), dark.end());
    if (densest == dark.end() || *densest < minDark) {
        return false;
    }
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

bool printedBox(const GreyView& view, float module, PrintedBox& box) {
    // A line crossing the symbol crosses dark modules, and inside it no module's width of
    // lines is blank; specks of noise are smaller than half a module.
    const int minDark = std::max(2, static_cast<int>(module / 2));
    const int gap = static_cast<int>(module) + 1;
    return printedSpan(view, true, minDark, gap, box.left, box.right) &&
           printedSpan(view, false, minDark, gap, box.top, box.bottom);
}

}  // namespace telo::engine
