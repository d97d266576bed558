// SPDX-License-Identifier: MIT
#include "corpus.h"

#include <zint.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "backgrounds.h"
#include "camera_effects.h"
#include "label.h"
#include "scene.h"
#include "symbologies.h"
#include "text_printer.h"
#include "zint_symbol.h"

namespace telo::bench {

namespace {

constexpr unsigned kSeed = 20240611;
/// The quiet zones must lie this far inside the frame, pixels.
constexpr double kFrameMargin = 3;
/// Placement attempts before a frame gives up on its turn and lies level.
constexpr int kFitAttempts = 40;
/// Smallest bars, and matrix modules, a frame shrinks its symbol to in order to fit.
constexpr double kMinBarModule = 1.3;
constexpr double kMinMatrixModule = 1.8;

double uniform(std::mt19937& random, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
}

bool chance(std::mt19937& random, double p) {
    return uniform(random, 0, 1) < p;
}

/// Everything drawn for one frame with a code.
struct Shot {
    LabelLayout layout;
    Pose pose;
    CameraEffects effects;
    Background background = Background::kPlain;
    double minModule = kMinBarModule;
};

/// The quiet-zone rectangle's corners on the label raster.
std::array<std::array<double, 2>, 4> quietCorners(const Label& label, const LabelLayout& layout) {
    const double ppm = label.pixelsPerModule;
    const double left = label.symbolLeft - layout.quietLeft * ppm;
    const double right = label.symbolRight + layout.quietRight * ppm;
    const double top = label.symbolTop - layout.quietTop * ppm;
    const double bottom = label.symbolBottom + layout.quietBottom * ppm;
    return {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}};
}

/// Extent of the quiet-zone rectangle in the frame: min x, min y, max x, max y.
std::array<double, 4> quietExtent(const Label& label, const Shot& shot) {
    std::array<double, 4> extent{1e9, 1e9, -1e9, -1e9};
    for (const auto& corner : quietCorners(label, shot.layout)) {
        // Sample the edges too: a curved label bulges between its corners.
        for (const auto& other : quietCorners(label, shot.layout)) {
            for (double t = 0; t <= 1; t += 0.25) {
                const auto p =
                    projectLabelPoint(label, shot.pose, corner[0] + t * (other[0] - corner[0]),
                                      corner[1] + t * (other[1] - corner[1]));
                extent = {std::min(extent[0], p[0]), std::min(extent[1], p[1]),
                          std::max(extent[2], p[0]), std::max(extent[3], p[1])};
            }
        }
    }
    return extent;
}

/// Turns, shrinks and places the label so that its quiet zones lie inside the frame; false when
/// even the smallest module does not fit.
bool fitInFrame(const Label& label, Shot& shot, std::mt19937& random) {
    for (int attempt = 0; attempt < kFitAttempts; ++attempt) {
        shot.pose.centreX = kFrameWidth / 2.0;
        shot.pose.centreY = kFrameHeight / 2.0;
        const auto e = quietExtent(label, shot);
        const double slackX = kFrameWidth - 2 * kFrameMargin - (e[2] - e[0]);
        const double slackY = kFrameHeight - 2 * kFrameMargin - (e[3] - e[1]);
        if (slackX >= 0 && slackY >= 0) {
            // Shift so the extent lands at a random place inside the frame.
            const double left = kFrameMargin + uniform(random, 0, slackX);
            const double top = kFrameMargin + uniform(random, 0, slackY);
            shot.pose.centreX += left - e[0];
            shot.pose.centreY += top - e[1];
            const auto placed = quietExtent(label, shot);
            if (placed[0] >= 0 && placed[1] >= 0 && placed[2] < kFrameWidth &&
                placed[3] < kFrameHeight) {
                return true;
            }
            continue;
        }
        if (shot.pose.module * 0.92 >= shot.minModule) {
            shot.pose.module *= 0.92;
        } else if (attempt > kFitAttempts / 2) {
            shot.pose.rotation = chance(random, 0.5) ? 0 : 180;
            shot.pose.tilt = std::min(shot.pose.tilt, 10.0);
        } else {
            shot.pose.rotation = uniform(random, -20, 20) + (chance(random, 0.5) ? 0 : 180);
        }
    }
    return false;
}

/// The baseline every frame starts from.
Shot baselineShot(const Symbology& symbology, const SymbolContent& content, std::mt19937& random) {
    Shot shot;
    LabelLayout& l = shot.layout;
    Pose& p = shot.pose;
    CameraEffects& e = shot.effects;
    const bool bars = !symbology.twoDimensional;
    const bool pdf417 = symbology.index == 10;
    if (bars) {
        l.quietLeft = static_cast<float>(uniform(random, 10, 16));
        l.quietRight = static_cast<float>(uniform(random, 10, 16));
        l.quietTop = static_cast<float>(uniform(random, 1, 5));
        l.quietBottom = static_cast<float>(uniform(random, 1, 5));
        l.humanText = content.humanText;
        l.humanTextSize = static_cast<float>(uniform(random, 5, 9));
        l.bearerBars = content.bearerBars;
        l.bearerBox = content.bearerBars && chance(random, 0.5);
        l.bearerWidth = static_cast<float>(uniform(random, 2, 5));
        p.module = uniform(random, 1.8, 3.5);
    } else {
        const float quiet =
            static_cast<float>(pdf417 ? uniform(random, 2, 4) : uniform(random, 1, 4));
        l.quietLeft = l.quietRight = l.quietTop = l.quietBottom = quiet;
        p.module = pdf417 ? uniform(random, 1.6, 3) : uniform(random, 2.5, 6);
    }
    shot.minModule = bars || pdf417 ? kMinBarModule : kMinMatrixModule;
    l.margin = static_cast<float>(uniform(random, 1, 10));
    l.inkSpread = static_cast<float>(uniform(random, -0.05, 0.15));
    l.ink = static_cast<float>(uniform(random, 0.03, 0.15));
    l.paper = static_cast<float>(uniform(random, 0.7, 0.92));

    // Held roughly level (either way up) or at any turn.
    p.rotation = chance(random, 0.4) ? uniform(random, -15, 15) + (chance(random, 0.5) ? 0 : 180)
                                     : uniform(random, 0, 360);
    p.tilt = uniform(random, 0, 15);
    p.tiltAxis = uniform(random, 0, 360);

    e.gradientFloor = uniform(random, 0.75, 1);
    e.gradientAngle = uniform(random, 0, 360);
    e.vignette = uniform(random, 0, 0.25);
    e.blurSigma = uniform(random, 0.3, 0.7);
    e.exposure = uniform(random, 0.85, 1.05);
    e.readNoise = uniform(random, 0.004, 0.012);
    e.shotNoise = uniform(random, 0.005, 0.015);
    shot.background =
        chance(random, 0.6) ? Background::kPlain : static_cast<Background>(1 + random() % 3);
    return shot;
}

/// Print reaching into the quiet zone, on one or two sides.
void addIntrusion(Shot& shot, bool bars, std::mt19937& random) {
    LabelLayout& l = shot.layout;
    if (bars) {
        const int pick = static_cast<int>(random() % 3);
        l.intrusionSides = pick == 0 ? kLeft : pick == 1 ? kRight : kLeft | kRight;
        l.intrusionRule = chance(random, 0.3);
        // Within the ten modules the standards ask for, but clear of the five a reader must see.
        l.intrusionGap =
            static_cast<float>(l.intrusionRule ? uniform(random, 6, 9) : uniform(random, 5, 8));
        l.quietLeft = std::max(l.quietLeft, l.intrusionGap + 1);
        l.quietRight = std::max(l.quietRight, l.intrusionGap + 1);
    } else {
        l.intrusionSides = 1 << (random() % 4);
        l.intrusionSides |= chance(random, 0.5) ? 1 << (random() % 4) : 0;
        l.intrusionGap = static_cast<float>(uniform(random, 1, 2.5));
        l.quietLeft = l.quietRight = l.quietTop = l.quietBottom = l.intrusionGap + 6;
    }
    l.margin = static_cast<float>(uniform(random, 0.5, 3));
}

/// Glare centred somewhere on the symbol.
void addGlare(Shot& shot, const Outline& outline, double strength, std::mt19937& random) {
    const double s = uniform(random, 0.15, 0.85);
    const double t = uniform(random, 0.15, 0.85);
    const auto& q = outline.symbol;
    Glare g;
    g.x = (1 - t) * ((1 - s) * q[0][0] + s * q[1][0]) + t * ((1 - s) * q[3][0] + s * q[2][0]);
    g.y = (1 - t) * ((1 - s) * q[0][1] + s * q[1][1]) + t * ((1 - s) * q[3][1] + s * q[2][1]);
    const double size = std::hypot(q[2][0] - q[0][0], q[2][1] - q[0][1]);
    g.radiusMajor = size * uniform(random, 0.08, 0.3);
    g.radiusMinor = g.radiusMajor * uniform(random, 0.3, 1);
    g.angle = uniform(random, 0, 180);
    g.strength = strength;
    shot.effects.glares.push_back(g);
}

void applyCondition(Condition condition, const Symbology& symbology, Shot& shot,
                    std::mt19937& random) {
    LabelLayout& l = shot.layout;
    Pose& p = shot.pose;
    CameraEffects& e = shot.effects;
    const bool bars = !symbology.twoDimensional;
    const bool pdf417 = symbology.index == 10;
    switch (condition) {
        case Condition::kBaseline:
        case Condition::kGlare:
            break;
        case Condition::kTilt:
            p.tilt = uniform(random, 30, 50);
            p.module *= 1.2;
            break;
        case Condition::kDefocus:
            e.defocusRadius = uniform(random, 1.0, 2.2);
            e.blurSigma = 0.3;
            p.module = std::max(p.module, e.defocusRadius * uniform(random, 1.3, 1.8));
            break;
        case Condition::kMotion:
            e.motionLength = uniform(random, 3, 8);
            e.motionAngle = uniform(random, 0, 360);
            p.module = std::max(p.module, e.motionLength * uniform(random, 0.45, 0.7));
            break;
        case Condition::kLowContrast:
            if (chance(random, 0.5)) {
                l.ink = static_cast<float>(uniform(random, 0.3, 0.5));
                l.paper = static_cast<float>(std::min(0.92, l.ink + uniform(random, 0.15, 0.3)));
            } else {
                l.ink = static_cast<float>(uniform(random, 0.15, 0.3));
                e.exposure = uniform(random, 0.3, 0.5);
            }
            break;
        case Condition::kNoiseJpeg:
            e.readNoise = uniform(random, 0.02, 0.045);
            e.shotNoise = uniform(random, 0.02, 0.04);
            e.jpegQuality = static_cast<int>(uniform(random, 40, 70));
            break;
        case Condition::kUnevenLight:
            e.gradientFloor = uniform(random, 0.25, 0.55);
            e.vignette = uniform(random, 0.3, 0.6);
            e.exposure = uniform(random, 1.1, 1.6);
            break;
        case Condition::kClutter:
            shot.background = static_cast<Background>(1 + random() % (kBackgroundCount - 1));
            addIntrusion(shot, bars, random);
            break;
        case Condition::kCurved:
            // Bars wrap round a can or bottle; a matrix code is small beside its curve.
            p.arc = bars ? uniform(random, 0.6, 1.6) : uniform(random, 0.4, 1.0);
            p.axisAlongBars = chance(random, 0.5);
            break;
        case Condition::kSmallModules:
            p.module = bars || pdf417 ? uniform(random, 1.3, 1.6) : uniform(random, 1.8, 2.4);
            p.tilt = std::min(p.tilt, 10.0);
            e.blurSigma = uniform(random, 0.3, 0.5);
            break;
        case Condition::kInverted:
            l.inverted = true;
            break;
        case Condition::kCombined:
            p.tilt = uniform(random, 15, 35);
            p.arc = chance(random, 0.4) ? uniform(random, 0.3, 0.9) : 0;
            p.module *= 1.15;
            e.blurSigma = uniform(random, 0.6, 1.0);
            e.readNoise = uniform(random, 0.012, 0.022);
            e.jpegQuality = static_cast<int>(uniform(random, 55, 80));
            e.gradientFloor = uniform(random, 0.5, 0.8);
            e.vignette = uniform(random, 0.2, 0.4);
            l.ink = static_cast<float>(uniform(random, 0.1, 0.25));
            if (chance(random, 0.5)) {
                shot.background = static_cast<Background>(1 + random() % (kBackgroundCount - 1));
                addIntrusion(shot, bars, random);
            }
            break;
    }
}

bool renderCodeFrame(const Symbology& symbology, Condition condition, std::mt19937& random,
                     const TextPrinter& printer, Frame& frame, std::string& errorText) {
    const SymbolContent content = symbology.makeContent(random);
    SymbolModules modules;
    if (!encodeSymbol(content.request, modules, errorText)) {
        return false;
    }
    Shot shot = baselineShot(symbology, content, random);
    applyCondition(condition, symbology, shot, random);
    if (modules.linear()) {
        shot.layout.barHeight = static_cast<float>(
            std::clamp(uniform(random, 0.15, 0.45) * modules.width(), 20.0, 80.0));
    }
    // Label pixels per module: fine enough for three samples per frame pixel at the nearest,
    // tilted-up side.
    const float ppm = static_cast<float>(std::clamp(std::ceil(4.5 * shot.pose.module), 4.0, 20.0));
    const Label label = drawLabel(modules, shot.layout, ppm, printer, random);
    if (!fitInFrame(label, shot, random)) {
        errorText = std::string("cannot fit ") + symbology.label + " \"" + content.request.data +
                    "\" into the frame";
        return false;
    }
    if (condition == Condition::kGlare) {
        const Outline outline = projectOutline(label, shot.pose);
        const int glares = chance(random, 0.3) ? 2 : 1;
        for (int i = 0; i < glares; ++i) {
            addGlare(shot, outline, uniform(random, 0.6, 2.0), random);
        }
    } else if (condition == Condition::kCombined && chance(random, 0.5)) {
        addGlare(shot, projectOutline(label, shot.pose), uniform(random, 0.2, 0.6), random);
    }
    Raster scene = makeBackground(shot.background, kFrameWidth, kFrameHeight, printer, random);
    placeLabel(label, shot.pose, scene);
    frame.grey = photograph(scene, shot.effects, random);
    frame.expected = content.expected;
    return true;
}

/// A frame without a code: one of the backgrounds under everyday light, or a flat surface in
/// heavy sensor noise.
void renderNoCodeFrame(int kind, std::mt19937& random, const TextPrinter& printer, Frame& frame) {
    const bool noise = kind == kBackgroundCount;
    Raster scene = makeBackground(noise ? Background::kPlain : static_cast<Background>(kind),
                                  kFrameWidth, kFrameHeight, printer, random);
    CameraEffects e;
    e.gradientFloor = uniform(random, 0.5, 1);
    e.gradientAngle = uniform(random, 0, 360);
    e.vignette = uniform(random, 0, 0.4);
    e.blurSigma = uniform(random, 0.3, 1.2);
    e.exposure = uniform(random, 0.7, 1.3);
    e.readNoise = noise ? uniform(random, 0.03, 0.06) : uniform(random, 0.004, 0.02);
    e.shotNoise = noise ? uniform(random, 0.03, 0.05) : uniform(random, 0.005, 0.02);
    e.jpegQuality = noise || chance(random, 0.3) ? static_cast<int>(uniform(random, 40, 80)) : 0;
    frame.grey = photograph(scene, e, random);
}

}  // namespace

const char* conditionName(int condition) {
    static constexpr std::array<const char*, kConditionCount> kNames = {
        "baseline",      "tilt 30-50",    "defocus",      "motion blur", "glare",
        "low contrast",  "noise + JPEG",  "uneven light", "clutter",     "curved label",
        "small modules", "light on dark", "combined",
    };
    return kNames[condition];
}

const char* noCodeKindName(int kind) {
    return kind == kBackgroundCount ? "noise" : backgroundName(static_cast<Background>(kind));
}

bool makeCorpus(int perCell, const std::string& only, std::vector<Frame>& frames,
                std::string& errorText) {
    const TextPrinter printer;
    if (!printer.ready(errorText)) {
        return false;
    }
    frames.clear();
    const auto& symbologies = benchSymbologies();
    for (int s = 0; s < static_cast<int>(symbologies.size()); ++s) {
        for (int c = 0; c < kConditionCount; ++c) {
            const auto condition = static_cast<Condition>(c);
            if (condition == Condition::kInverted && !symbologies[s].invertible) {
                continue;
            }
            for (int i = 0; i < perCell; ++i) {
                std::seed_seq seed{kSeed, static_cast<unsigned>(s), static_cast<unsigned>(c),
                                   static_cast<unsigned>(i)};
                std::mt19937 random(seed);
                Frame frame;
                frame.symbology = s;
                frame.condition = c;
                frame.name = std::string(symbologies[s].label) + "/" + conditionName(c) + "/" +
                             std::to_string(i);
                if (frame.name.find(only) == std::string::npos) {
                    continue;
                }
                if (!renderCodeFrame(symbologies[s], condition, random, printer, frame,
                                     errorText)) {
                    return false;
                }
                frames.push_back(std::move(frame));
            }
        }
    }
    for (int kind = 0; kind < kNoCodeKindCount; ++kind) {
        for (int i = 0; i < 2 * perCell; ++i) {
            std::seed_seq seed{kSeed, 1000u, static_cast<unsigned>(kind), static_cast<unsigned>(i)};
            std::mt19937 random(seed);
            Frame frame;
            frame.condition = kind;
            frame.name = std::string("no code/") + noCodeKindName(kind) + "/" + std::to_string(i);
            if (frame.name.find(only) == std::string::npos) {
                continue;
            }
            renderNoCodeFrame(kind, random, printer, frame);
            frames.push_back(std::move(frame));
        }
    }
    return true;
}

}  // namespace telo::bench
