// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_CONTRAST_STRETCH_H
#define TELO_ENGINE_CONTRAST_STRETCH_H

#include <cstdint>
#include <vector>

namespace telo::engine {

/// Maps `values` linearly so that their `low` and `high` quantiles (shares, 0 to 1) become 0
/// and 255, clamped, into `out`: a crop's print spans the full grey range whatever the light.
void stretchContrast(const std::vector<float>& values, float low, float high,
                     std::vector<std::uint8_t>& out);

}  // namespace telo::engine

#endif
