// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_CAMERA_EFFECTS_H
#define TELO_BENCH_DECODE_CAMERA_EFFECTS_H

#include <cstdint>
#include <random>
#include <vector>

#include "raster.h"

namespace telo::bench {

/// A specular highlight: a bright soft ellipse added to the light.
struct Glare {
    double x = 0;
    double y = 0;
    double radiusMajor = 20;
    double radiusMinor = 10;
    double angle = 0;
    /// Added light at its centre, in units of white paper's.
    double strength = 1;
};

/// What happens between the scene and the frame's bytes: light, lens, sensor and compression.
struct CameraEffects {
    /// Light falling on the scene: a linear gradient down to `gradientFloor` at one side, and a
    /// vignette darkening the corners to `1 - vignette`.
    double gradientFloor = 1;
    double gradientAngle = 0;
    double vignette = 0;
    std::vector<Glare> glares;
    /// Lens: defocus as a disc of `defocusRadius` pixels, a Gaussian of `blurSigma`, and motion
    /// as a line `motionLength` pixels long in direction `motionAngle` degrees.
    double defocusRadius = 0;
    double blurSigma = 0;
    double motionLength = 0;
    double motionAngle = 0;
    /// Sensor: white paper in full light reaches `exposure` (values over 1 clip), noise of
    /// `readNoise` plus `shotNoise` times the square root of the signal (both in 0..1 units).
    double exposure = 0.9;
    double readNoise = 0.005;
    double shotNoise = 0.01;
    /// JPEG round trip at this quality; 0 for none.
    int jpegQuality = 0;
};

/// The 8-bit grey frame the camera makes of `scene` (reflectance).
std::vector<std::uint8_t> photograph(const Raster& scene, const CameraEffects& effects,
                                     std::mt19937& random);

}  // namespace telo::bench

#endif
