// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_DATAMATRIX_REDRAWER_H
#define TELO_ENGINE_DATAMATRIX_REDRAWER_H

#include <cstdint>
#include <vector>

#include "engine/bent_outline.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/module_drawing.h"

namespace telo::engine {

/// Redraws a Data Matrix symbol from a square-on view (SymbolRectifier) as a clean black and
/// white drawing. ZXing's Data Matrix detector follows the solid L and the clock track along
/// the symbol's sides, which glare, blur or a bent label break; here the print gives the
/// symbol's outline (BentOutline), the clock track the number of modules along each side and
/// how they narrow where the label turns away, and each module is sampled where it lies. The
/// L and the clock track are drawn whole, and Reed-Solomon mends the rest.
class DataMatrixRedrawer {
public:
    /// Modules across and down the view, and how they lie.
    struct Grid {
        int columns = 0;
        int rows = 0;
        /// The corner where the L's sides meet: 0 top left, 1 top right, 2 bottom right, 3
        /// bottom left.
        int corner = 0;
        /// Turns of a bent label across and down.
        BentOutline::Turn across;
        BentOutline::Turn down;
    };

    /// Takes the symbol to fill the print of `view` with modules of about `module` pixels;
    /// false when no symbol size puts a clock track and an L along its sides, or `deadline`
    /// passes first.
    bool locate(const GreyView& view, float module, const Deadline& deadline);
    /// The grids the located symbol may have, likeliest first.
    const std::vector<Grid>& grids() const { return grids_; }
    /// The located symbol redrawn on `grid`. Valid until the next call.
    GreyView draw(const Grid& grid);

private:
    /// Samples the modules of `grid` into modules_: those along its sides only when
    /// `sidesOnly`.
    void sample(const Grid& grid, bool sidesOnly);
    /// What the module at `column`, `row` of `grid` is on the symbol's sides: 2 on the L, 1
    /// dark and 0 light on the clock track, -1 inside.
    static int border(const Grid& grid, int column, int row);
    /// Shares of the modules of the L, of the clock track's row and of its column sampled as
    /// they are printed.
    struct SideMatch {
        float solid = 0;
        float clockRow = 0;
        float clockColumn = 0;
    };
    /// How modules_, sampled on `grid`, match the L and the clock track.
    SideMatch matchSides(const Grid& grid) const;

    GreyView view_;
    BentOutline outline_;
    std::vector<Grid> grids_;
    std::vector<std::uint8_t> modules_;
    ModuleDrawing drawing_;
};

}  // namespace telo::engine

#endif
