// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_ZXING_READER_H
#define TELO_ENGINE_ZXING_READER_H

#include <cstdint>
#include <vector>

#include "engine/crop_map.h"
#include "engine/grey_view.h"
#include "engine/read_arbiter.h"

namespace telo::engine {

/// The engine formats that ZXing-C++ reads: every known format but Industrial 2 of 5.
std::uint32_t zxingFormats(std::uint32_t formatMask);

/// How one ZXing call looks at its image.
enum class ZXingPass {
    /// A whole frame, matrix codes: any turn, downscaled retries for large modules.
    kFrameMatrix,
    /// The same with one threshold for the frame, which keeps faint print that the local
    /// threshold takes for flat paper.
    kFrameMatrixFaint,
    /// A whole frame, linear codes: a few rows and columns, a quick look for easy codes.
    kFrameBars,
    /// Rows of a bar region (RegionSampler::barRows): every row, each read reported with the
    /// number of rows that gave it, conflicting reads included.
    kBarRows,
    /// An upright crop of a region: no turns but the quarter turns the detectors try.
    kUpright,
    /// A square-on view of one symbol, scaled to its local contrast (SymbolRectifier): split at
    /// mid-grey, which keeps large modules whole where a local mean would not.
    kRectified,
};

/// Reads the ZXing formats of `formatMask` in `image` and appends what it finds to `reads`,
/// placed in the frame through `map`. Does nothing when the mask holds no ZXing format.
void readWithZXing(const GreyView& image, std::uint32_t formatMask, ZXingPass pass,
                   const CropMap& map, std::vector<Read>& reads);

}  // namespace telo::engine

#endif
