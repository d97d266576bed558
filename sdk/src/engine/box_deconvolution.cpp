// SPDX-License-Identifier: MIT
#include "engine/box_deconvolution.h"

#include <algorithm>

namespace telo::engine {

void boxMean(const float* in, int count, int length, float* out) {
    const int before = length / 2;
    const int after = length - 1 - before;
    float sum = 0;
    for (int k = -before; k <= after; ++k) {
        sum += in[std::clamp(k, 0, count - 1)];
    }
    for (int x = 0; x < count; ++x) {
        out[x] = sum / static_cast<float>(length);
        sum += in[std::min(x + after + 1, count - 1)] - in[std::max(x - before, 0)];
    }
}

void richardsonLucyRound(const float* observed, float* estimate, int count, int length, float floor,
                         float* scratch) {
    boxMean(estimate, count, length, scratch);
    for (int x = 0; x < count; ++x) {
        scratch[x] = observed[x] / std::max(scratch[x], floor);
    }
    // The box is symmetric, so its adjoint is itself.
    boxMean(scratch, count, length, scratch + count);
    for (int x = 0; x < count; ++x) {
        estimate[x] *= scratch[count + x];
    }
}

}  // namespace telo::engine
