// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_MOD10_CHECK_H
#define TELO_ENGINE_MOD10_CHECK_H

#include <string_view>

namespace telo::engine {

/// Whether the last of `digits` is the mod-10 check digit of those before it, weighted 3, 1,
/// 3, ... leftwards from the last but one: EAN and UPC's check digit, ITF-14's, and Industrial
/// 2 of 5's optional one.
inline bool mod10CheckHolds(std::string_view digits) {
    const int length = static_cast<int>(digits.size());
    if (length < 2) {
        return false;
    }
    int sum = 0;
    for (int i = length - 2, weight = 3; i >= 0; --i, weight = 4 - weight) {
        sum += (digits[i] - '0') * weight;
    }
    return (10 - sum % 10) % 10 == digits[length - 1] - '0';
}

}  // namespace telo::engine

#endif
