// SPDX-License-Identifier: MIT
#include "engine/printed_span.h"

namespace telo::engine {

bool printedSpan(const GreyView& view, bool horizontal, int minDark, int& first, int& last) {
    const int length = horizontal ? view.width : view.height;
    const int across = horizontal ? view.height : view.width;
    first = -1;
    for (int i = 0; i < length; ++i) {
        int dark = 0;
        for (int k = 0; k < across && dark < minDark; ++k) {
            const std::uint8_t value = horizontal ? view.at(i, k) : view.at(k, i);
            dark += value < kSquareOnDarkBelow ? 1 : 0;
        }
        if (dark >= minDark) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    return first >= 0;
}

}  // namespace telo::engine
