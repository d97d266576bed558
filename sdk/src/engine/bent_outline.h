// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BENT_OUTLINE_H
#define TELO_ENGINE_BENT_OUTLINE_H

#include <array>
#include <cstddef>
#include <vector>

#include "engine/crop_map.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// Turns of a bent label worth trying at either end of an axis, radians from facing the camera.
constexpr std::array<float, 9> kLabelTurns = {0,    -1.2f, -0.9f, -0.6f, -0.3f,
                                              0.3f, 0.6f,  0.9f,  1.2f};

/// The outline of a symbol in a square-on view (SymbolRectifier) as a label bent round a
/// bottle or tin leaves it: the view takes out the perspective of the corners, but the sides
/// stay bowed and the modules narrow towards the sides the label turns away at. Each side is
/// fitted with a parabola to the print's edge along it; points within the outline blend the
/// four sides.
class BentOutline {
public:
    /// How far round the label is turned, radians from facing the camera, at the two ends of
    /// one axis of the symbol: modules narrow as the label turns away. Equal angles keep the
    /// modules even.
    struct Turn {
        float from = 0;
        float to = 0;
    };

    /// Fits the sides of the print that fills the rectangle at `left`, `top` of `width` x
    /// `height` pixels of `view`, whose modules are about `module` pixels. A side with too few
    /// edge points stays straight.
    void fit(const GreyView& view, float left, float top, float width, float height, float module);
    /// fit() to the box of the print of `view` (printedBox); false when there is none.
    bool fitPrint(const GreyView& view, float module);
    /// The fitted rectangle's size, pixels.
    float width() const { return width_; }
    float height() const { return height_; }
    /// The turns across and down, each tried at both ends of both axes, whose scores
    /// `fit(turn)` gives best along a row (first) and down a column (second).
    template <typename Fit>
    static void fitTurns(Fit fit, Turn& across, Turn& down) {
        float bestRow = -1;
        float bestColumn = -1;
        for (std::size_t i = 0; i < kLabelTurns.size(); ++i) {
            for (std::size_t j = 0; j < kLabelTurns.size(); ++j) {
                if (i == j && i != 0) {
                    continue;
                }
                const Turn turn{kLabelTurns[i], kLabelTurns[j]};
                const auto [row, column] = fit(turn);
                if (row > bestRow) {
                    bestRow = row;
                    across = turn;
                }
                if (column > bestColumn) {
                    bestColumn = column;
                    down = turn;
                }
            }
        }
    }
    /// The point at `s` across and `t` down the symbol (both 0 to 1, side to side) of a label
    /// turned `across` and `down`.
    PointF at(float s, float t, const Turn& across, const Turn& down) const;
    /// Where `s` (0 to 1) along an axis of a label turned `turn` shows (0 to 1).
    static float turned(float s, const Turn& turn);

private:
    /// How far the print's edge lies inside the rectangle along side `side` (0 top, 1 right,
    /// 2 bottom, 3 left) at `p` (0 to 1 along it).
    float depth(int side, float p) const;
    /// Fits a parabola to the (position, depth) points of points_ into sides_[side].
    void fitSide(int side, float module);

    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
    /// Per side, the depth's parabola in the position along it: c0 + c1 p + c2 p^2.
    std::array<std::array<float, 3>, 4> sides_{};
    std::vector<float> depths_;
    std::vector<std::array<float, 2>> points_;
};

}  // namespace telo::engine

#endif
