// SPDX-License-Identifier: MIT
#include "camera_effects.h"

#include <algorithm>
#include <cmath>

#include "jpeg_round_trip.h"

namespace telo::bench {

namespace {

constexpr double kPi = 3.14159265358979;
/// The sensor's values are gamma-encoded like any camera's output.
constexpr double kEncodingGamma = 1 / 2.2;

void applyLight(Raster& image, const CameraEffects& e) {
    const double cx = image.width / 2.0;
    const double cy = image.height / 2.0;
    const double corner = std::hypot(cx, cy);
    const double gx = std::cos(e.gradientAngle * kPi / 180);
    const double gy = std::sin(e.gradientAngle * kPi / 180);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            // Position along the gradient, 0 at its dark end and 1 at its bright end.
            const double along = 0.5 + ((x - cx) * gx + (y - cy) * gy) / (2 * corner);
            const double gradient = e.gradientFloor + (1 - e.gradientFloor) * along;
            const double r = std::hypot(x - cx, y - cy) / corner;
            const double vignette = 1 - e.vignette * r * r;
            double light = image.at(x, y) * gradient * vignette;
            for (const Glare& g : e.glares) {
                const double c = std::cos(g.angle * kPi / 180);
                const double s = std::sin(g.angle * kPi / 180);
                const double u = ((x - g.x) * c + (y - g.y) * s) / g.radiusMajor;
                const double v = (-(x - g.x) * s + (y - g.y) * c) / g.radiusMinor;
                light += g.strength * std::exp(-2 * (u * u + v * v));
            }
            image.at(x, y) = static_cast<float>(light);
        }
    }
}

/// Convolves with a kernel given as (dx, dy, weight) taps, edges clamped.
struct Tap {
    int dx;
    int dy;
    float weight;
};

Raster convolve(const Raster& in, const std::vector<Tap>& taps) {
    Raster out(in.width, in.height);
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float sum = 0;
            for (const Tap& t : taps) {
                sum += t.weight * in.at(std::clamp(x + t.dx, 0, in.width - 1),
                                        std::clamp(y + t.dy, 0, in.height - 1));
            }
            out.at(x, y) = sum;
        }
    }
    return out;
}

std::vector<Tap> normalised(std::vector<Tap> taps) {
    float total = 0;
    for (const Tap& t : taps) {
        total += t.weight;
    }
    for (Tap& t : taps) {
        t.weight /= total;
    }
    return taps;
}

/// A disc of radius `r`, its rim anti-aliased by 4 x 4 subsamples.
std::vector<Tap> discKernel(double r) {
    std::vector<Tap> taps;
    const int reach = static_cast<int>(std::ceil(r + 0.5));
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    inside += std::hypot(dx - 0.5 + (sx + 0.5) / 4, dy - 0.5 + (sy + 0.5) / 4) <= r;
                }
            }
            if (inside > 0) {
                taps.push_back({dx, dy, static_cast<float>(inside)});
            }
        }
    }
    return normalised(taps);
}

std::vector<Tap> gaussianKernel(double sigma, bool horizontal) {
    std::vector<Tap> taps;
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    for (int d = -reach; d <= reach; ++d) {
        const auto weight = static_cast<float>(std::exp(-0.5 * d * d / (sigma * sigma)));
        taps.push_back(horizontal ? Tap{d, 0, weight} : Tap{0, d, weight});
    }
    return normalised(taps);
}

/// A line `length` pixels long at `angle` degrees, drawn by 8 subsamples per pixel.
std::vector<Tap> motionKernel(double length, double angle) {
    std::vector<Tap> taps;
    const double dx = std::cos(angle * kPi / 180);
    const double dy = std::sin(angle * kPi / 180);
    const int steps = std::max(1, static_cast<int>(length * 8));
    for (int i = 0; i <= steps; ++i) {
        const double t = (static_cast<double>(i) / steps - 0.5) * length;
        const Tap tap{static_cast<int>(std::lround(t * dx)), static_cast<int>(std::lround(t * dy)),
                      1};
        auto same = std::find_if(taps.begin(), taps.end(),
                                 [&](const Tap& o) { return o.dx == tap.dx && o.dy == tap.dy; });
        if (same == taps.end()) {
            taps.push_back(tap);
        } else {
            same->weight += 1;
        }
    }
    return normalised(taps);
}

}  // namespace

std::vector<std::uint8_t> photograph(const Raster& scene, const CameraEffects& e,
                                     std::mt19937& random) {
    Raster light = scene;
    applyLight(light, e);
    if (e.defocusRadius > 0.3) {
        light = convolve(light, discKernel(e.defocusRadius));
    }
    if (e.blurSigma > 0.2) {
        light = convolve(convolve(light, gaussianKernel(e.blurSigma, true)),
                         gaussianKernel(e.blurSigma, false));
    }
    if (e.motionLength > 1) {
        light = convolve(light, motionKernel(e.motionLength, e.motionAngle));
    }
    std::normal_distribution<double> normal(0, 1);
    std::vector<std::uint8_t> frame(light.pixels.size());
    for (std::size_t i = 0; i < frame.size(); ++i) {
        double signal = std::clamp(light.pixels[i] * e.exposure, 0.0, 1.0);
        signal += normal(random) * (e.readNoise + e.shotNoise * std::sqrt(signal));
        signal = std::clamp(signal, 0.0, 1.0);
        frame[i] = static_cast<std::uint8_t>(std::lround(255 * std::pow(signal, kEncodingGamma)));
    }
    if (e.jpegQuality > 0) {
        jpegRoundTrip(frame, scene.width, scene.height, e.jpegQuality);
    }
    return frame;
}

}  // namespace telo::bench
