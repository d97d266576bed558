// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_AZTEC_REDRAWER_H
#define TELO_ENGINE_AZTEC_REDRAWER_H

#include <cstdint>
#include <vector>

#include "engine/bent_outline.h"
#include "engine/deadline.h"
#include "engine/grey_view.h"
#include "engine/module_drawing.h"

namespace telo::engine {

/// Redraws an Aztec symbol from a square-on view (SymbolRectifier) as a clean, level, black and
/// white drawing with large modules. ZXing's Aztec detector loses symbols that are turned,
/// blurred or small, while its decoder reads a clean drawing: here the bullseye gives the
/// symbol's centre, module size and kind, the print's extent its size, and each module is
/// sampled where it lies. Where glare breaks the bullseye, or a bent label the grid, the
/// print's outline gives the grid (BentOutline), and the sizes whose grid puts the bullseye's
/// rings where the print has them are drawn; the bullseye is drawn whole, and Reed-Solomon
/// mends the glared modules.
class AztecRedrawer {
public:
    /// A symbol size to draw: modules a side, whether its bullseye is a compact one, and
    /// for symbols located by their extent, the turns of a bent label.
    struct Layout {
        int size = 0;
        bool compact = false;
        BentOutline::Turn across;
        BentOutline::Turn down;
    };

    /// Finds the bullseye near the middle of `view`, whose dark print is below mid-grey; false
    /// when there is none or `deadline` passes first.
    bool locate(const GreyView& view, const Deadline& deadline);
    /// Takes the symbol to fill the print of `view` (after SymbolRectifier, which leaves only
    /// the symbol dark) with modules of about `module` pixels, its sides as a bent label bows
    /// them; the bullseye locate() last found in `view`, if any, gives the turns. False when
    /// no layout puts most of its bullseye's modules where the print has them.
    bool locateByExtent(const GreyView& view, float module);
    /// The layouts the located symbol may have, likeliest first.
    const std::vector<Layout>& layouts() const { return layouts_; }
    /// The located symbol redrawn in `layout`. Valid until the next call.
    GreyView draw(const Layout& layout);

private:
    /// The bullseye's rings along one line through the view.
    struct Rings {
        /// Centre of the middle module along the line, pixels.
        float centre = 0;
        float module = 0;
        /// Dark rings around the middle module: 2 for a compact symbol, 3 for a full one.
        int darkRings = 0;
    };

    bool isDark(int x, int y) const;
    /// Fills runs_ with the starts of the dark and light runs along row (`horizontal`) or
    /// column `at`, and the end.
    void findRuns(int at, bool horizontal);
    /// Whether run `index` of runs_ is dark.
    bool isDarkRun(int index) const { return (index % 2 == 0) == firstDark_; }
    /// The bullseye of `darkRings` dark rings along the row (`horizontal`) or column at `at`
    /// whose middle module covers `near`, if any.
    bool findRings(int at, int near, bool horizontal, int darkRings, Rings& rings);
    /// The bullseye of `darkRings` dark rings whose middle module is run `middle` of runs_ (of
    /// `count`), if it is one.
    bool ringsAround(int middle, int count, int darkRings, Rings& rings) const;
    /// Whether most modules of the bullseye that across_ and down_ place are dark and light as
    /// its square rings have them.
    bool ringsSquare() const;
    /// The first and last column (`horizontal`) or row of the print that reaches out from
    /// `from` without a gap of `gap` lines, looking within `reach` of `centre` across it.
    bool extent(bool horizontal, int centre, int from, int reach, int gap, int& first,
                int& last) const;
    /// Where module `offset` from the middle lies along one axis of a `size`-module symbol.
    static float position(float centre, float module, float half, int offset, int size);
    /// Whether most of the five points around the middle of pixel (`x`, `y`), `offset` apart,
    /// are dark, by the vote square-on views share (engine::moduleDark).
    bool moduleDark(float x, float y, float offset) const;
    /// Where the middle of module `column`, `row` of `layout` lies on the outline.
    PointF modulePoint(const Layout& layout, int column, int row) const;
    /// The turn along one axis that puts the middle and module of `rings` where a `size`-module
    /// symbol from `start` over `length` pixels has them.
    static BentOutline::Turn turnFromRings(const Rings& rings, float start, float length, int size);
    /// The share of the bullseye's modules that `layout` of the extent-located symbol finds
    /// as the bullseye has them.
    float bullseyeMatch(const Layout& layout) const;

    GreyView view_;
    std::vector<int> runs_;
    bool firstDark_ = false;
    Rings across_;
    Rings down_;
    /// Half the symbol's width and height, pixels.
    float halfWidth_ = 0;
    float halfHeight_ = 0;
    /// Whether the grid comes from the bullseye's rings (else from the print's extent).
    bool ringsMeasured_ = false;
    std::vector<Layout> layouts_;
    BentOutline outline_;
    ModuleDrawing drawing_;
};

}  // namespace telo::engine

#endif
