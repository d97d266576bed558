// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_EVEN_MODULE_ROWS_H
#define TELO_ENGINE_EVEN_MODULE_ROWS_H

#include <array>
#include <cstdint>
#include <vector>

#include "engine/deadline.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// Resamples bar rows so that a code's module is even along each of them. On a curved label
/// the module shrinks towards both ends; under strong perspective it grows from one end to the
/// other. Row readers that take one module from a guard pattern and hold the symbol to it miss
/// such rows, though every bar is sharp. Whatever a symbol encodes, its structure fixes how
/// many modules lie before some of its edges: EAN/UPC digits are seven modules in four
/// elements between guards, Code 128 characters eleven in six, Code 39 characters equally long
/// in ten. A row's run of edges whose count fits such a structure, and whose anchoring edges a
/// smooth curve fits closely, is resampled piecewise between them.
class EvenModuleRows {
public:
    /// The rows of `rows` (dark below mid-grey, as BarRowBuilder gives them) resampled to an
    /// even module; rows without a run of edges long enough for a code are copied as they are.
    /// An empty view (no data) when no row was resampled or `deadline` passes first; valid
    /// until the next call.
    GreyView straighten(const GreyView& rows, const Deadline& deadline);

    /// Where sample `x` of straightened row `y` lies in the row it was resampled from.
    float sourceX(float x, int y) const;

private:
    /// How one row was resampled: straightened sample u comes from module
    /// m = (u - start) / step of the code, at x between the knots around m, straight on beyond
    /// its ends.
    struct RowCurve {
        bool resampled = false;
        float start = 0;
        float step = 1;
        int firstKnot = 0;
        int knots = 0;
    };
    /// An edge of a code's run whose place in modules its structure fixes, whatever it encodes.
    struct Anchor {
        int edge;
        float module;
    };
    /// An anchor's module and where the row shows its edge.
    struct Knot {
        float module;
        float x;
    };

    /// Fits `curve` to the row's edges, its knots appended to knots_; false when they do not
    /// make a code's run.
    bool fit(const std::uint8_t* row, int width, RowCurve& curve);
    /// Fills anchors_ for a run of `count` edges of an EAN/UPC or Code 128 symbol, or of a
    /// Code 39 symbol; none when no symbol has that many.
    void addAnchors(int count);
    void addCode39Anchors(int count);
    /// How far anchors_ in the run of edges from `first` lie from the smooth curve that fits
    /// them best, modules: a run of the wrong structure lies far from any.
    double smoothMisfit(std::size_t first) const;
    float curveX(const RowCurve& curve, float m) const;

    std::vector<Knot> knots_;
    std::vector<Anchor> bestAnchors_;
    std::vector<Anchor> anchors_;
    std::vector<float> edges_;
    std::vector<float> widths_;
    std::vector<RowCurve> curves_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace telo::engine

#endif
