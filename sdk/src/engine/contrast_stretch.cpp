// SPDX-License-Identifier: MIT
#include "engine/contrast_stretch.h"

#include <algorithm>
#include <array>

namespace telo::engine {

namespace {

std::uint8_t toByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
}

}  // namespace

void stretchContrast(const std::vector<float>& values, float low, float high,
                     std::vector<std::uint8_t>& out) {
    // The quantiles from a histogram of the rounded values.
    std::array<int, 256> histogram{};
    for (const float v : values) {
        ++histogram[toByte(v)];
    }
    const auto count = static_cast<float>(values.size());
    int dark = 0;
    for (int seen = 0; dark < 255 && seen + histogram[dark] < low * count; ++dark) {
        seen += histogram[dark];
    }
    int light = 255;
    for (int seen = 0; light > 0 && seen + histogram[light] < (1 - high) * count; --light) {
        seen += histogram[light];
    }
    const float gain = 255.0f / static_cast<float>(std::max(light - dark, 1));
    out.resize(values.size());
    std::transform(values.begin(), values.end(), out.begin(),
                   [&](float v) { return toByte((v - dark) * gain); });
}

}  // namespace telo::engine
