// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_SCENE_H
#define TELO_BENCH_DECODE_SCENE_H

#include <array>

#include "label.h"
#include "raster.h"

namespace telo::bench {

/// Where the camera sees a label: its size, turn, tilt, curvature and place in the frame.
struct Pose {
    /// Frame pixels per module at the label's centre before tilting.
    double module = 3;
    /// Turn within the label's plane, degrees.
    double rotation = 0;
    /// Tilt of the label's plane away from the camera, degrees, about an axis `tiltAxis` degrees
    /// from the label's rows.
    double tilt = 0;
    double tiltAxis = 0;
    /// The label wrapped round a cylinder: the arc its symbol spans, radians (0 flat), and
    /// whether the cylinder's axis runs along the bars (a can seen upright) or across them.
    double arc = 0;
    bool axisAlongBars = true;
    /// Where the label's centre appears, frame pixels.
    double centreX = 320;
    double centreY = 240;
};

/// Focal length of the scanner's lens in pixels: about 56 degrees across 640 pixels.
inline constexpr double kFocalPixels = 600;

/// Frame positions of the symbol's four corners (top left, top right, bottom right, bottom left)
/// and of the label's.
struct Outline {
    std::array<std::array<double, 2>, 4> symbol;
    std::array<std::array<double, 2>, 4> label;
};

/// Maps the label's raster position (x, y) to the frame under `pose`.
std::array<double, 2> projectLabelPoint(const Label& label, const Pose& pose, double x, double y);

/// The outline of the label and its symbol in the frame.
Outline projectOutline(const Label& label, const Pose& pose);

/// Lays `label` over `scene` as the camera sees it under `pose`, supersampled, with the
/// curved surface shaded by its slant to the camera.
void placeLabel(const Label& label, const Pose& pose, Raster& scene);

}  // namespace telo::bench

#endif
