// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_DATAMATRIX_REDRAWER_H
#define TELO_ENGINE_DATAMATRIX_REDRAWER_H

#include <cstdint>
#include <vector>

#include "engine/grey_view.h"

namespace telo::engine {

/// Redraws a Data Matrix symbol from a square-on view (SymbolRectifier) as a clean black and
/// white drawing. ZXing's Data Matrix detector follows the solid L and the clock track along
/// the symbol's sides, which glare or blur break; here the print's extent gives the symbol's
/// outline, the clock track the number of modules along each side, and each module is sampled
/// where it lies. The L and the clock track are drawn whole, and Reed-Solomon mends the rest.
class DataMatrixRedrawer {
public:
    /// Modules across and down the view.
    struct Grid {
        int columns = 0;
        int rows = 0;
    };

    /// Takes the symbol to fill the print of `view` with modules of about `module` pixels;
    /// false when no symbol size puts a clock track and an L along its sides.
    bool locate(const GreyView& view, float module);
    /// The grids the located symbol may have, likeliest first.
    const std::vector<Grid>& grids() const { return grids_; }
    /// The located symbol redrawn on `grid`. Valid until the next call.
    GreyView draw(const Grid& grid);

private:
    /// Samples the modules of `grid` into modules_.
    void sample(const Grid& grid);
    /// What the module at `column`, `row` of `grid` is on the symbol's sides with the L's
    /// corner at corner_: 2 on the L, 1 dark and 0 light on the clock track, -1 inside.
    int border(const Grid& grid, int column, int row) const;

    GreyView view_;
    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
    /// The corner where the L's sides meet: 0 top left, 1 top right, 2 bottom right, 3 bottom
    /// left.
    int corner_ = 0;
    std::vector<Grid> grids_;
    std::vector<int> corners_;
    std::vector<std::uint8_t> modules_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace telo::engine

#endif
