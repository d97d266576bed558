// SPDX-License-Identifier: MIT
#include "engine/motion_deblur.h"

#include <algorithm>
#include <cmath>

#include "engine/box_deconvolution.h"
#include "engine/scan_line.h"

namespace telo::engine {

namespace {

/// The gradient must gather at least this much along one direction (0 alike all ways, 1 all
/// one way) for a smear: the modules of a sharp symbol have edges both ways alike.
constexpr float kMinSmearCoherence = 0.4f;
/// Richardson-Lucy rounds: enough to sharpen a smear of two modules, few enough not to raise
/// the noise into false modules.
constexpr int kIterations = 12;
/// Values are kept above zero for the divisions.
constexpr float kFloor = 1;

}  // namespace

bool MotionDeblur::smearDirection(const GreyView& view, float& angle) const {
    double xx = 0;
    double yy = 0;
    double xy = 0;
    for (int y = 1; y + 1 < view.height; ++y) {
        const std::uint8_t* line = view.data + static_cast<std::ptrdiff_t>(y) * view.stride;
        for (int x = 1; x + 1 < view.width; ++x) {
            const float gx = static_cast<float>(line[x + 1]) - line[x - 1];
            const float gy = static_cast<float>(line[x + view.stride]) - line[x - view.stride];
            xx += gx * gx;
            yy += gy * gy;
            xy += gx * gy;
        }
    }
    const double energy = xx + yy;
    if (energy <= 0) {
        return false;
    }
    const double gathered = std::hypot(xx - yy, 2 * xy);
    if (gathered < kMinSmearCoherence * energy) {
        return false;
    }
    // The gradient runs across the smear: the smear runs a quarter turn from it.
    angle = static_cast<float>(0.5 * std::atan2(2 * xy, xx - yy) + std::acos(0.0));
    return true;
}

bool MotionDeblur::deconvolveRows(int length, const Deadline& deadline) {
    estimate_ = turned_;
    scratch_.resize(2 * static_cast<std::size_t>(width_));
    for (int i = 0; i < kIterations; ++i) {
        if (deadline.passed()) {
            return false;
        }
        for (int y = 0; y < height_; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * width_;
            richardsonLucyRound(turned_.data() + row, estimate_.data() + row, width_, length,
                                kFloor, scratch_.data());
        }
    }
    return true;
}

GreyView MotionDeblur::deblur(const GreyView& view, float module, float smearModules,
                              const Deadline& deadline) {
    float angle = 0;
    if (view.data == nullptr || !smearDirection(view, angle)) {
        return {};
    }
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    // The turned image holds the whole view: its rows run along the smear.
    width_ = static_cast<int>(std::ceil(std::fabs(view.width * c) + std::fabs(view.height * s)));
    height_ = static_cast<int>(std::ceil(std::fabs(view.width * s) + std::fabs(view.height * c)));
    const float viewCentreX = view.width / 2.0f;
    const float viewCentreY = view.height / 2.0f;
    const float turnedCentreX = width_ / 2.0f;
    const float turnedCentreY = height_ / 2.0f;
    turned_.resize(static_cast<std::size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
        const float v = y - turnedCentreY;
        for (int x = 0; x < width_; ++x) {
            const float u = x - turnedCentreX;
            turned_[static_cast<std::size_t>(y) * width_ + x] =
                kFloor + sampleAt(view, viewCentreX + u * c - v * s, viewCentreY + u * s + v * c);
        }
    }
    if (deadline.passed() ||
        !deconvolveRows(std::max(2, static_cast<int>(std::lround(smearModules * module))),
                        deadline)) {
        return {};
    }
    turnedPixels_.resize(estimate_.size());
    std::transform(estimate_.begin(), estimate_.end(), turnedPixels_.begin(), [](float value) {
        return static_cast<std::uint8_t>(std::clamp(value - kFloor, 0.0f, 255.0f) + 0.5f);
    });
    const GreyView turned{turnedPixels_.data(), width_, height_, width_};
    pixels_.resize(static_cast<std::size_t>(view.width) * view.height);
    for (int y = 0; y < view.height; ++y) {
        const float dy = y - viewCentreY;
        for (int x = 0; x < view.width; ++x) {
            const float dx = x - viewCentreX;
            pixels_[static_cast<std::size_t>(y) * view.width + x] = static_cast<std::uint8_t>(
                sampleAt(turned, turnedCentreX + dx * c + dy * s, turnedCentreY - dx * s + dy * c) +
                0.5f);
        }
    }
    return {pixels_.data(), view.width, view.height, view.width};
}

}  // namespace telo::engine
