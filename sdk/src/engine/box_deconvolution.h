// SPDX-License-Identifier: MIT
#ifndef TELO_SDK_SRC_ENGINE_BOX_DECONVOLUTION_H
#define TELO_SDK_SRC_ENGINE_BOX_DECONVOLUTION_H

namespace telo::engine {

/// Mean of `in` over a box of `length` samples around each of `count` positions, clamped at
/// the ends.
void boxMean(const float* in, int count, int length, float* out);

/// One Richardson-Lucy round against a box blur of `length` samples: `estimate` of `observed`
/// (both kept above zero) is multiplied by the box-blurred ratio of `observed` to its own
/// blurred self, each divisor held at `floor` or more. `scratch` holds 2 `count`
/// floats.
void richardsonLucyRound(const float* observed, float* estimate, int count, int length, float floor,
                         float* scratch);

}  // namespace telo::engine

#endif
