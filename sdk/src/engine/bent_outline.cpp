// SPDX-License-Identifier: MIT
#include "engine/bent_outline.h"

#include <algorithm>
#include <cmath>

#include "engine/linear_system.h"
#include "engine/printed_box.h"

namespace telo::engine {

namespace {

/// The edge along a side is the shallowest print within windows of this many modules: the
/// outermost modules are not all dark.
constexpr float kWindowModules = 3;
/// Edge points further than this many modules from the first fit are glare or stray print.
constexpr float kOutlierModules = 0.5f;
/// Edges are looked for this many modules in from each side at most: a bent label bows its
/// sides by a module or two.
constexpr float kMaxDepthModules = 4;
/// A side needs this many edge points for a fit.
constexpr int kMinPoints = 5;
/// A fit whose normal equations have a pivot below this is left unfitted: the points do not
/// tell the curve.
constexpr double kMinPivot = 1e-9;

}  // namespace

void BentOutline::fitSide(int side, float module) {
    sides_[side] = {0, 0, 0};
    for (int round = 0; round < 2; ++round) {
        std::array<std::array<double, 3>, 3> m{};
        std::array<double, 3> v{};
        int count = 0;
        for (const auto& [p, d] : points_) {
            if (round > 0 && std::fabs(depth(side, p) - d) > kOutlierModules * module) {
                continue;
            }
            const double powers[3] = {1, p, static_cast<double>(p) * p};
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) {
                    m[i][j] += powers[i] * powers[j];
                }
                v[i] += powers[i] * d;
            }
            ++count;
        }
        if (count < kMinPoints || !solveLinear(m, v, kMinPivot)) {
            sides_[side] = {0, 0, 0};
            return;
        }
        sides_[side] = {static_cast<float>(v[0]), static_cast<float>(v[1]),
                        static_cast<float>(v[2])};
    }
}

bool BentOutline::fitPrint(const GreyView& view, float module) {
    PrintedBox box;
    if (!printedBox(view, module, box)) {
        return false;
    }
    fit(view, static_cast<float>(box.left), static_cast<float>(box.top),
        static_cast<float>(box.right + 1 - box.left), static_cast<float>(box.bottom + 1 - box.top),
        module);
    return true;
}

void BentOutline::fit(const GreyView& view, float left, float top, float width, float height,
                      float module) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    const int window = std::max(1, static_cast<int>(kWindowModules * module));
    // Each side's first pixel, the step along it and the step inwards.
    const int right = static_cast<int>(left + width) - 1;
    const int bottom = static_cast<int>(top + height) - 1;
    const std::array<std::array<int, 6>, 4> walks{{
        {static_cast<int>(left), static_cast<int>(top), 1, 0, 0, 1},
        {right, static_cast<int>(top), 0, 1, -1, 0},
        {static_cast<int>(left), bottom, 1, 0, 0, -1},
        {static_cast<int>(left), static_cast<int>(top), 0, 1, 1, 0},
    }};
    for (int side = 0; side < 4; ++side) {
        // Depth of the first dark pixel in from the side, at each pixel along it.
        const bool across = side % 2 == 0;
        const int length = static_cast<int>(across ? width : height);
        const int reach =
            static_cast<int>(std::min((across ? height : width) / 2, kMaxDepthModules * module));
        depths_.assign(static_cast<std::size_t>(std::max(length, 0)), static_cast<float>(reach));
        const auto& [x0, y0, alongX, alongY, inX, inY] = walks[side];
        for (int i = 0; i < length; ++i) {
            for (int d = 0; d < reach; ++d) {
                const int x = x0 + i * alongX + d * inX;
                const int y = y0 + i * alongY + d * inY;
                if (x >= 0 && y >= 0 && x < view.width && y < view.height &&
                    view.at(x, y) < kSquareOnDarkBelow) {
                    depths_[i] = static_cast<float>(d);
                    break;
                }
            }
        }
        // The shallowest depth of each window, where it is.
        points_.clear();
        for (int start = 0; start + window <= length; start += window) {
            const auto shallowest =
                std::min_element(depths_.begin() + start, depths_.begin() + start + window);
            if (*shallowest < reach) {
                points_.push_back({(static_cast<float>(shallowest - depths_.begin()) + 0.5f) /
                                       static_cast<float>(length),
                                   *shallowest});
            }
        }
        fitSide(side, module);
    }
}

float BentOutline::depth(int side, float p) const {
    const auto& c = sides_[side];
    return c[0] + c[1] * p + c[2] * p * p;
}

float BentOutline::turned(float s, const Turn& turn) {
    // A point round a cylinder shows at the sine of its angle.
    const float from = std::sin(turn.from);
    const float span = std::sin(turn.to) - from;
    if (std::fabs(span) < 1e-3f) {
        return s;
    }
    return (std::sin(turn.from + s * (turn.to - turn.from)) - from) / span;
}

PointF BentOutline::at(float s, float t, const Turn& across, const Turn& down) const {
    s = turned(s, across);
    t = turned(t, down);
    const float right = left_ + width_;
    const float bottom = top_ + height_;
    // Corners where the fitted sides meet (near enough), then the sides between them.
    const PointF topLeft{left_ + depth(3, 0), top_ + depth(0, 0)};
    const PointF topRight{right - depth(1, 0), top_ + depth(0, 1)};
    const PointF bottomLeft{left_ + depth(3, 1), bottom - depth(2, 0)};
    const PointF bottomRight{right - depth(1, 1), bottom - depth(2, 1)};
    const PointF upper{topLeft.x + s * (topRight.x - topLeft.x), top_ + depth(0, s)};
    const PointF lower{bottomLeft.x + s * (bottomRight.x - bottomLeft.x), bottom - depth(2, s)};
    const PointF leftSide{left_ + depth(3, t), topLeft.y + t * (bottomLeft.y - topLeft.y)};
    const PointF rightSide{right - depth(1, t), topRight.y + t * (bottomRight.y - topRight.y)};
    // The blend of the four sides that passes through each of them.
    auto blend = [&](float PointF::*axis) {
        return (1 - t) * upper.*axis + t * lower.*axis + (1 - s) * leftSide.*axis +
               s * rightSide.*axis -
               ((1 - s) * (1 - t) * topLeft.*axis + s * (1 - t) * topRight.*axis +
                (1 - s) * t * bottomLeft.*axis + s * t * bottomRight.*axis);
    };
    return {blend(&PointF::x), blend(&PointF::y)};
}

}  // namespace telo::engine
