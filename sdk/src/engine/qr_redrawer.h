// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_QR_REDRAWER_H
#define TELO_ENGINE_QR_REDRAWER_H

#include <vector>

#include "engine/bent_outline.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/module_drawing.h"

namespace telo::engine {

/// Redraws a QR Code symbol from a square-on view (SymbolRectifier) as a clean black and white
/// drawing. ZXing's QR detector measures the finder patterns' rings, which blur, glare or a
/// bent label distort, and places the grid from them; here the print gives the symbol's
/// outline (BentOutline), the three finder patterns in its corners and the timing patterns
/// between them the version and how the modules narrow where the label turns away, and each
/// module is sampled where it lies. The finder patterns, their separators and the timing
/// patterns are drawn whole; Reed-Solomon mends the rest.
class QrRedrawer {
public:
    /// Modules a side, and how they lie.
    struct Grid {
        int size = 0;
        /// The corner without a finder pattern: 0 top left, 1 top right, 2 bottom right, 3
        /// bottom left.
        int corner = 2;
        /// Turns of a bent label across and down.
        BentOutline::Turn across;
        BentOutline::Turn down;
    };

    /// Takes the symbol to fill the print of `view` with modules of about `module` pixels;
    /// false when no version puts finder patterns in three corners and timing patterns between
    /// them, or `deadline` passes first.
    bool locate(const GreyView& view, float module, const Deadline& deadline);
    /// The grids the located symbol may have, likeliest first.
    const std::vector<Grid>& grids() const { return grids_; }
    /// The located symbol redrawn on `grid`. Valid until the next call.
    GreyView draw(const Grid& grid);

private:
    /// Shares of the finder patterns' and separators' modules, and of the timing patterns'
    /// along the rows and down the columns, sampled as they are printed.
    struct Match {
        float finders = 0;
        float timingRow = 0;
        float timingColumn = 0;
    };

    /// Whether the module at `column`, `row` of `grid` samples dark.
    bool sampleDark(const Grid& grid, int column, int row) const;
    /// How the modules of `grid` match its finder patterns and timing patterns.
    Match match(const Grid& grid) const;

    GreyView view_;
    BentOutline outline_;
    std::vector<Grid> grids_;
    ModuleDrawing drawing_;
};

}  // namespace telo::engine

#endif
