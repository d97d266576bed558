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

double Uniform(std::mt19937& random, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
}

bool Chance(std::mt19937& random, double p) {
    return Uniform(random, 0, 1) < p;
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
std::array<std::array<double, 2>, 4> QuietCorners(const Label& label, const LabelLayout& layout) {
    const double ppm = label.pixelsPerModule;
    const double left = label.symbolLeft - layout.quietLeft * ppm;
    const double right = label.symbolRight + layout.quietRight * ppm;
    const double top = label.symbolTop - layout.quietTop * ppm;
    const double bottom = label.symbolBottom + layout.quietBottom * ppm;
    return {{{left, top}, {right, top}, {right, bottom}, {left, bottom}}};
}

/// Extent of the quiet-zone rectangle in the frame: min x, min y, max x, max y.
std::array<double, 4> QuietExtent(const Label& label, const Shot& shot) {
    std::array<double, 4> extent{1e9, 1e9, -1e9, -1e9};
    for (const auto& corner : QuietCorners(label, shot.layout)) {
        // Sample the edges too: a curved label bulges between its corners.
        for (const auto& other : QuietCorners(label, shot.layout)) {
            for (double t = 0; t <= 1; t += 0.25) {
                const auto p =
                    ProjectLabelPoint(label, shot.pose, corner[0] + t * (other[0] - corner[0]),
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
bool FitInFrame(const Label& label, Shot& shot, std::mt19937& random) {
    for (int attempt = 0; attempt < kFitAttempts; ++attempt) {
        shot.pose.centreX = kFrameWidth / 2.0;
        shot.pose.centreY = kFrameHeight / 2.0;
        const auto e = QuietExtent(label, shot);
        const double slackX = kFrameWidth - 2 * kFrameMargin - (e[2] - e[0]);
        const double slackY = kFrameHeight - 2 * kFrameMargin - (e[3] - e[1]);
        if (slackX >= 0 && slackY >= 0) {
            // Shift so the extent lands at a random place inside the frame.
            const double left = kFrameMargin + Uniform(random, 0, slackX);
            const double top = kFrameMargin + Uniform(random, 0, slackY);
            shot.pose.centreX += left - e[0];
            shot.pose.centreY += top - e[1];
            const auto placed = QuietExtent(label, shot);
            if (placed[0] >= 0 && placed[1] >= 0 && placed[2] < kFrameWidth &&
                placed[3] < kFrameHeight) {
                return true;
            }
            continue;
        }
        if (shot.pose.module * 0.92 >= shot.minModule) {
            shot.pose.module *= 0.92;
        } else if (attempt > kFitAttempts / 2) {
            shot.pose.rotation = Chance(random, 0.5) ? 0 : 180;
            shot.pose.tilt = std::min(shot.pose.tilt, 10.0);
        } else {
            shot.pose.rotation = Uniform(random, -20, 20) + (Chance(random, 0.5) ? 0 : 180);
        }
    }
    return false;
}

/// The baseline every frame starts from.
Shot BaselineShot(const Symbology& symbology, const SymbolContent& content, std::mt19937& random) {
    Shot shot;
    LabelLayout& l = shot.layout;
    Pose& p = shot.pose;
    CameraEffects& e = shot.effects;
    const bool bars = !symbology.twoDimensional;
    const bool pdf417 = symbology.index == 10;
    if (bars) {
        l.quietLeft = static_cast<float>(Uniform(random, 10, 16));
        l.quietRight = static_cast<float>(Uniform(random, 10, 16));
        l.quietTop = static_cast<float>(Uniform(random, 1, 5));
        l.quietBottom = static_cast<float>(Uniform(random, 1, 5));
        l.humanText = content.humanText;
        l.humanTextSize = static_cast<float>(Uniform(random, 5, 9));
        l.bearerBars = content.bearerBars;
        l.bearerBox = content.bearerBars && Chance(random, 0.5);
        l.bearerWidth = static_cast<float>(Uniform(random, 2, 5));
        p.module = Uniform(random, 1.8, 3.5);
    } else {
        const float quiet =
            static_cast<float>(pdf417 ? Uniform(random, 2, 4) : Uniform(random, 1, 4));
        l.quietLeft = l.quietRight = l.quietTop = l.quietBottom = quiet;
        p.module = pdf417 ? Uniform(random, 1.6, 3) : Uniform(random, 2.5, 6);
    }
    shot.minModule = bars || pdf417 ? kMinBarModule : kMinMatrixModule;
    l.margin = static_cast<float>(Uniform(random, 1, 10));
    l.inkSpread = static_cast<float>(Uniform(random, -0.05, 0.15));
    l.ink = static_cast<float>(Uniform(random, 0.03, 0.15));
    l.paper = static_cast<float>(Uniform(random, 0.7, 0.92));

    // Held roughly level (either way up) or at any turn.
    p.rotation = Chance(random, 0.4) ? Uniform(random, -15, 15) + (Chance(random, 0.5) ? 0 : 180)
                                     : Uniform(random, 0, 360);
    p.tilt = Uniform(random, 0, 15);
    p.tiltAxis = Uniform(random, 0, 360);

    e.gradientFloor = Uniform(random, 0.75, 1);
    e.gradientAngle = Uniform(random, 0, 360);
    e.vignette = Uniform(random, 0, 0.25);
    e.blurSigma = Uniform(random, 0.3, 0.7);
    e.exposure = Uniform(random, 0.85, 1.05);
    e.readNoise = Uniform(random, 0.004, 0.012);
    e.shotNoise = Uniform(random, 0.005, 0.015);
    shot.background =
        Chance(random, 0.6) ? Background::kPlain : static_cast<Background>(1 + random() % 3);
    return shot;
}

/// Print reaching into the quiet zone, on one or two sides.
void AddIntrusion(Shot& shot, bool bars, std::mt19937& random) {
    LabelLayout& l = shot.layout;
    if (bars) {
        const int pick = static_cast<int>(random() % 3);
        l.intrusionSides = pick == 0 ? kLeft : pick == 1 ? kRight : kLeft | kRight;
        l.intrusionRule = Chance(random, 0.3);
        // Within the ten modules the standards ask for, but clear of the five a reader must see.
        l.intrusionGap =
            static_cast<float>(l.intrusionRule ? Uniform(random, 6, 9) : Uniform(random, 5, 8));
        l.quietLeft = std::max(l.quietLeft, l.intrusionGap + 1);
        l.quietRight = std::max(l.quietRight, l.intrusionGap + 1);
    } else {
        l.intrusionSides = 1 << (random() % 4);
        l.intrusionSides |= Chance(random, 0.5) ? 1 << (random() % 4) : 0;
        l.intrusionGap = static_cast<float>(Uniform(random, 1, 2.5));
        l.quietLeft = l.quietRight = l.quietTop = l.quietBottom = l.intrusionGap + 6;
    }
    l.margin = static_cast<float>(Uniform(random, 0.5, 3));
}

/// Glare centred somewhere on the symbol.
void AddGlare(Shot& shot, const Outline& outline, double strength, std::mt19937& random) {
    const double s = Uniform(random, 0.15, 0.85);
    const double t = Uniform(random, 0.15, 0.85);
    const auto& q = outline.symbol;
    Glare g;
    g.x = (1 - t) * ((1 - s) * q[0][0] + s * q[1][0]) + t * ((1 - s) * q[3][0] + s * q[2][0]);
    g.y = (1 - t) * ((1 - s) * q[0][1] + s * q[1][1]) + t * ((1 - s) * q[3][1] + s * q[2][1]);
    const double size = std::hypot(q[2][0] - q[0][0], q[2][1] - q[0][1]);
    g.radiusMajor = size * Uniform(random, 0.08, 0.3);
    g.radiusMinor = g.radiusMajor * Uniform(random, 0.3, 1);
    g.angle = Uniform(random, 0, 180);
    g.strength = strength;
    shot.effects.glares.push_back(g);
}

void ApplyCondition(Condition condition, const Symbology& symbology, Shot& shot,
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
            p.tilt = Uniform(random, 30, 50);
            p.module *= 1.2;
            break;
        case Condition::kDefocus:
            e.defocusRadius = Uniform(random, 1.0, 2.2);
            e.blurSigma = 0.3;
            p.module = std::max(p.module, e.defocusRadius * Uniform(random, 1.3, 1.8));
            break;
        case Condition::kMotion:
            e.motionLength = Uniform(random, 3, 8);
            e.motionAngle = Uniform(random, 0, 360);
            p.module = std::max(p.module, e.motionLength * Uniform(random, 0.45, 0.7));
            break;
        case Condition::kLowContrast:
            if (Chance(random, 0.5)) {
                l.ink = static_cast<float>(Uniform(random, 0.3, 0.5));
                l.paper = static_cast<float>(std::min(0.92, l.ink + Uniform(random, 0.15, 0.3)));
            } else {
                l.ink = static_cast<float>(Uniform(random, 0.15, 0.3));
                e.exposure = Uniform(random, 0.3, 0.5);
            }
            break;
        case Condition::kNoiseJpeg:
            e.readNoise = Uniform(random, 0.02, 0.045);
            e.shotNoise = Uniform(random, 0.02, 0.04);
            e.jpegQuality = static_cast<int>(Uniform(random, 40, 70));
            break;
        case Condition::kUnevenLight:
            e.gradientFloor = Uniform(random, 0.25, 0.55);
            e.vignette = Uniform(random, 0.3, 0.6);
            e.exposure = Uniform(random, 1.1, 1.6);
            break;
        case Condition::kClutter:
            shot.background = static_cast<Background>(1 + random() % (kBackgroundCount - 1));
            AddIntrusion(shot, bars, random);
            break;
        case Condition::kCurved:
            // Bars wrap round a can or bottle; a matrix code is small beside its curve.
            p.arc = bars ? Uniform(random, 0.6, 1.6) : Uniform(random, 0.4, 1.0);
            p.axisAlongBars = Chance(random, 0.5);
            break;
        case Condition::kSmallModules:
            p.module = bars || pdf417 ? Uniform(random, 1.3, 1.6) : Uniform(random, 1.8, 2.4);
            p.tilt = std::min(p.tilt, 10.0);
            e.blurSigma = Uniform(random, 0.3, 0.5);
            break;
        case Condition::kInverted:
            l.inverted = true;
            break;
        case Condition::kCombined:
            p.tilt = Uniform(random, 15, 35);
            p.arc = Chance(random, 0.4) ? Uniform(random, 0.3, 0.9) : 0;
            p.module *= 1.15;
            e.blurSigma = Uniform(random, 0.6, 1.0);
            e.readNoise = Uniform(random, 0.012, 0.022);
            e.jpegQuality = static_cast<int>(Uniform(random, 55, 80));
            e.gradientFloor = Uniform(random, 0.5, 0.8);
            e.vignette = Uniform(random, 0.2, 0.4);
            l.ink = static_cast<float>(Uniform(random, 0.1, 0.25));
            if (Chance(random, 0.5)) {
                shot.background = static_cast<Background>(1 + random() % (kBackgroundCount - 1));
                AddIntrusion(shot, bars, random);
            }
            break;
    }
}

bool RenderCodeFrame(const Symbology& symbology, Condition condition, std::mt19937& random,
                     const TextPrinter& printer, Frame& frame, std::string& errorText) {
    const SymbolContent content = symbology.makeContent(random);
    SymbolModules modules;
    if (!EncodeSymbol(content.request, modules, errorText)) {
        return false;
    }
    Shot shot = BaselineShot(symbology, content, random);
    ApplyCondition(condition, symbology, shot, random);
    if (modules.Linear()) {
        shot.layout.barHeight = static_cast<float>(
            std::clamp(Uniform(random, 0.15, 0.45) * modules.Width(), 20.0, 80.0));
    }
    // Label pixels per module: fine enough for three samples per frame pixel at the nearest,
    // tilted-up side.
    const float ppm = static_cast<float>(std::clamp(std::ceil(4.5 * shot.pose.module), 4.0, 20.0));
    const Label label = DrawLabel(modules, shot.layout, ppm, printer, random);
    if (!FitInFrame(label, shot, random)) {
        errorText = std::string("cannot fit ") + symbology.label + " \"" + content.request.data +
                    "\" into the frame";
        return false;
    }
    if (condition == Condition::kGlare) {
        const Outline outline = ProjectOutline(label, shot.pose);
        const int glares = Chance(random, 0.3) ? 2 : 1;
        for (int i = 0; i < glares; ++i) {
            AddGlare(shot, outline, Uniform(random, 0.6, 2.0), random);
        }
    } else if (condition == Condition::kCombined && Chance(random, 0.5)) {
        AddGlare(shot, ProjectOutline(label, shot.pose), Uniform(random, 0.2, 0.6), random);
    }
    Raster scene = MakeBackground(shot.background, kFrameWidth, kFrameHeight, printer, random);
    PlaceLabel(label, shot.pose, scene);
    frame.grey = Photograph(scene, shot.effects, random);
    frame.expected = content.expected;
    return true;
}

/// A frame without a code: one of the backgrounds under everyday light, or a flat surface in
/// heavy sensor noise.
void RenderNoCodeFrame(int kind, std::mt19937& random, const TextPrinter& printer, Frame& frame) {
    const bool noise = kind == kBackgroundCount;
    Raster scene = MakeBackground(noise ? Background::kPlain : static_cast<Background>(kind),
                                  kFrameWidth, kFrameHeight, printer, random);
    CameraEffects e;
    e.gradientFloor = Uniform(random, 0.5, 1);
    e.gradientAngle = Uniform(random, 0, 360);
    e.vignette = Uniform(random, 0, 0.4);
    e.blurSigma = Uniform(random, 0.3, 1.2);
    e.exposure = Uniform(random, 0.7, 1.3);
    e.readNoise = noise ? Uniform(random, 0.03, 0.06) : Uniform(random, 0.004, 0.02);
    e.shotNoise = noise ? Uniform(random, 0.03, 0.05) : Uniform(random, 0.005, 0.02);
    e.jpegQuality = noise || Chance(random, 0.3) ? static_cast<int>(Uniform(random, 40, 80)) : 0;
    frame.grey = Photograph(scene, e, random);
}

}  // namespace

const char* ConditionName(int condition) {
    static constexpr std::array<const char*, kConditionCount> kNames = {
        "baseline",      "tilt 30-50",    "defocus",      "motion blur", "glare",
        "low contrast",  "noise + JPEG",  "uneven light", "clutter",     "curved label",
        "small modules", "light on dark", "combined",
    };
    return kNames[condition];
}

const char* NoCodeKindName(int kind) {
    return kind == kBackgroundCount ? "noise" : BackgroundName(static_cast<Background>(kind));
}

bool MakeCorpus(int perCell, std::vector<Frame>& frames, std::string& errorText) {
    const TextPrinter printer;
    if (!printer.Ready(errorText)) {
        return false;
    }
    frames.clear();
    const auto& symbologies = BenchSymbologies();
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
                frame.name = std::string(symbologies[s].label) + "/" + ConditionName(c) + "/" +
                             std::to_string(i);
                if (!RenderCodeFrame(symbologies[s], condition, random, printer, frame,
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
            frame.name = std::string("no code/") + NoCodeKindName(kind) + "/" + std::to_string(i);
            RenderNoCodeFrame(kind, random, printer, frame);
            frames.push_back(std::move(frame));
        }
    }
    return true;
}

}  // namespace telo::bench
