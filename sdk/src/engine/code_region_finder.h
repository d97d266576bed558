// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_CODE_REGION_FINDER_H
#define TELO_ENGINE_CODE_REGION_FINDER_H

#include <cstdint>
#include <vector>

#include "engine/deadline.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// A patch of the image that looks like a barcode, and which way it is turned.
struct CodeRegion {
    enum class Kind {
        /// Parallel bars: a linear or stacked code.
        kBars,
        /// Edges in two perpendicular directions: a matrix code.
        kMatrix,
    };

    Kind kind = Kind::kBars;
    float centreX = 0;
    float centreY = 0;
    /// Direction across the bars (for a matrix, along one side), radians.
    float angle = 0;
    /// Direction along which a bar code runs, radians: across its bars unless perspective
    /// shears the code; `angle` for a matrix.
    float axis = 0;
    /// Extent along `axis` and along the bars, pixels.
    float length = 0;
    float height = 0;
    /// Summed edge energy, to try the most prominent region first.
    float strength = 0;
    /// Cells the region was grown from.
    int cells = 0;
};

/// Finds code regions from the local structure of the image gradient. Small cells with strong
/// gradients are sorted by how their gradient directions gather: one way up to sign (bars) or
/// two perpendicular ways (the modules of a matrix code); neighbouring cells of one kind and
/// orientation are joined. The buffers are kept between images.
class CodeRegionFinder {
public:
    /// Fills `regions` with up to `maxRegions` regions, strongest first; with none, or fewer,
    /// when `deadline` passes first.
    void find(const GreyView& image, int maxRegions, const Deadline& deadline,
              std::vector<CodeRegion>& regions);

private:
    struct Cell {
        CodeRegion::Kind kind;
        bool candidate;
        float energy;
        float coherence;
        /// Orientation of the cell: the angle times `fold(kind)`, as a weighted unit vector.
        float directionX;
        float directionY;
        float angle;
    };

    /// False when `deadline` passes first.
    bool measureCells(const GreyView& image, const Deadline& deadline);
    /// The direction a bar code runs in, from the spread of the cells just grown.
    float codeAxis(float across) const;
    /// Grows a region from `seed` over like cells up to `reach` cells apart.
    CodeRegion grow(int seed, int reach);

    int columns_ = 0;
    int rows_ = 0;
    std::vector<Cell> cells_;
    std::vector<std::uint8_t> taken_;
    std::vector<int> queue_;
};

}  // namespace telo::engine

#endif
