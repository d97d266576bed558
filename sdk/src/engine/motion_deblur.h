// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_MOTION_DEBLUR_H
#define TELO_ENGINE_MOTION_DEBLUR_H

#include <cstdint>
#include <vector>

#include "engine/deadline.h"
#include "engine/grey_view.h"

namespace telo::engine {

/// Takes out the blur of a hand that moves while the camera exposes: a square-on view of a
/// symbol (SymbolRectifier) whose edges are sharp one way and smeared the other is turned so
/// that the smear runs along its rows, deconvolved there as a smear of a few modules
/// (Richardson-Lucy), and turned back. The buffers are kept between calls.
class MotionDeblur {
public:
    /// `view` deblurred along the direction its gradient shows least, as a smear of
    /// `smearModules` modules of `module` pixels; an empty view (no data) when the view is
    /// sharp alike both ways or `deadline` passes first. Valid until the next call.
    GreyView deblur(const GreyView& view, float module, float smearModules,
                    const Deadline& deadline);

private:
    /// Direction of the smear, radians, from the structure of the gradient; false when the
    /// gradient gathers too little one way for a smear.
    bool smearDirection(const GreyView& view, float& angle) const;
    /// Richardson-Lucy along each row of turned_ for a box of `length` pixels into estimate_;
    /// false when `deadline` passes first.
    bool deconvolveRows(int length, const Deadline& deadline);

    int width_ = 0;
    int height_ = 0;
    std::vector<float> turned_;
    std::vector<float> estimate_;
    std::vector<float> scratch_;
    std::vector<std::uint8_t> turnedPixels_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace telo::engine

#endif
