// SPDX-License-Identifier: MIT
#include "label.h"

#include <cmath>
#include <string_view>

namespace telo::bench {

namespace {

constexpr std::string_view kPrintAlphabet = "ABCDEFGHKLMNPRSTUVXYZ0123456789 -/:";
/// Thickness of a ruled line intruding into the quiet zone, modules.
constexpr float kRuleWidth = 0.6f;

std::string words(std::mt19937& random, int length) {
    std::string text(length, ' ');
    for (char& c : text) {
        c = kPrintAlphabet[std::uniform_int_distribution<std::size_t>(
            0, kPrintAlphabet.size() - 1)(random)];
    }
    return text;
}

/// Text lines whose nearest edge keeps `gap` pixels from the symbol on one side.
void printIntrusion(Label& label, Side side, float gap, float ppm, float ink, bool rule,
                    const TextPrinter& printer, std::mt19937& random) {
    Raster& r = label.raster;
    const float size = std::uniform_real_distribution<float>(3, 6)(random) * ppm;
    if (rule) {
        const float width = kRuleWidth * ppm;
        switch (side) {
            case kLeft:
                r.fill(static_cast<int>(label.symbolLeft - gap - width), 0,
                       static_cast<int>(label.symbolLeft - gap), r.height, ink);
                break;
            case kRight:
                r.fill(static_cast<int>(label.symbolRight + gap), 0,
                       static_cast<int>(label.symbolRight + gap + width), r.height, ink);
                break;
            case kTop:
                r.fill(0, static_cast<int>(label.symbolTop - gap - width), r.width,
                       static_cast<int>(label.symbolTop - gap), ink);
                break;
            case kBottom:
                r.fill(0, static_cast<int>(label.symbolBottom + gap), r.width,
                       static_cast<int>(label.symbolBottom + gap + width), ink);
                break;
        }
        return;
    }
    if (side == kLeft || side == kRight) {
        // Lines of text beside the symbol, flush against the gap.
        for (float baseline = label.symbolTop + size; baseline < label.symbolBottom + size;
             baseline += 1.4f * size) {
            const std::string text =
                words(random, std::uniform_int_distribution<int>(3, 8)(random));
            Raster measure;
            const float width = printer.print(measure, text, 0, 0, size, ink);
            const float x =
                side == kLeft ? label.symbolLeft - gap - width : label.symbolRight + gap;
            printer.print(r, text, x, baseline, size, ink);
        }
        return;
    }
    // A line of text above or below, its glyphs ending or starting at the gap.
    const float baseline = side == kTop ? label.symbolTop - gap : label.symbolBottom + gap + size;
    for (float x = 0; x < r.width;) {
        x = printer.print(r, words(random, 6), x, baseline, size, ink) + size;
    }
}

}  // namespace

Label drawLabel(const SymbolModules& modules, const LabelLayout& layout, float ppm,
                const TextPrinter& printer, std::mt19937& random) {
    const bool linear = modules.linear();
    const float symbolHeight = linear ? layout.barHeight : modules.height();
    const float textSpace =
        linear && !layout.humanText.empty() ? layout.humanTextSize * 1.3f + 1 : 0;
    const float bearer = layout.bearerBars ? layout.bearerWidth : 0;
    const float widthModules = 2 * layout.margin + layout.quietLeft + modules.width() +
                               layout.quietRight + (layout.bearerBox ? 2 * bearer : 0);
    const float heightModules = 2 * layout.margin + layout.quietTop + symbolHeight +
                                layout.quietBottom + textSpace + 2 * bearer;

    const float ground = layout.inverted ? layout.ink : layout.paper;
    const float print = layout.inverted ? layout.paper : layout.ink;
    Label label;
    label.pixelsPerModule = ppm;
    label.raster = Raster(static_cast<int>(std::ceil(widthModules * ppm)),
                          static_cast<int>(std::ceil(heightModules * ppm)), ground);
    label.symbolLeft = (layout.margin + layout.quietLeft + (layout.bearerBox ? bearer : 0)) * ppm;
    label.symbolTop = (layout.margin + layout.quietTop + bearer) * ppm;
    label.symbolRight = label.symbolLeft + modules.width() * ppm;
    label.symbolBottom = label.symbolTop + symbolHeight * ppm;

    const float spread = layout.inkSpread * ppm / 2;
    float top = label.symbolTop;
    for (std::size_t row = 0; row < modules.rows.size(); ++row) {
        const float rowHeight = (linear ? layout.barHeight : modules.rowHeights[row]) * ppm;
        const auto& line = modules.rows[row];
        for (std::size_t column = 0; column < line.size();) {
            if (!line[column]) {
                ++column;
                continue;
            }
            std::size_t end = column;
            while (end < line.size() && line[end]) {
                ++end;
            }
            // Bars spread sideways only: rows of a matrix code spread alike in both directions.
            const float rowSpread = linear ? 0 : spread;
            label.raster.fill(
                static_cast<int>(std::lround(label.symbolLeft + column * ppm - spread)),
                static_cast<int>(std::lround(top - rowSpread)),
                static_cast<int>(std::lround(label.symbolLeft + end * ppm + spread)),
                static_cast<int>(std::lround(top + rowHeight + rowSpread)), print);
            column = end;
        }
        top += rowHeight;
    }

    if (layout.bearerBars) {
        const float left =
            label.symbolLeft - layout.quietLeft * ppm - (layout.bearerBox ? bearer * ppm : 0);
        const float right =
            label.symbolRight + layout.quietRight * ppm + (layout.bearerBox ? bearer * ppm : 0);
        const float upper = label.symbolTop - bearer * ppm;
        const float lower = label.symbolBottom + bearer * ppm;
        label.raster.fill(static_cast<int>(left), static_cast<int>(upper), static_cast<int>(right),
                          static_cast<int>(label.symbolTop), print);
        label.raster.fill(static_cast<int>(left), static_cast<int>(label.symbolBottom),
                          static_cast<int>(right), static_cast<int>(lower), print);
        if (layout.bearerBox) {
            label.raster.fill(static_cast<int>(left), static_cast<int>(upper),
                              static_cast<int>(left + bearer * ppm), static_cast<int>(lower),
                              print);
            label.raster.fill(static_cast<int>(right - bearer * ppm), static_cast<int>(upper),
                              static_cast<int>(right), static_cast<int>(lower), print);
        }
    }
    if (textSpace > 0) {
        const float size = layout.humanTextSize * ppm;
        Raster measure;
        const float width = printer.print(measure, layout.humanText, 0, 0, size, print);
        printer.print(label.raster, layout.humanText,
                      (label.symbolLeft + label.symbolRight - width) / 2,
                      label.symbolBottom + bearer * ppm + ppm + size, size, print);
    }
    for (Side side : {kLeft, kRight, kTop, kBottom}) {
        if ((layout.intrusionSides & side) != 0) {
            printIntrusion(label, side, layout.intrusionGap * ppm, ppm, print, layout.intrusionRule,
                           printer, random);
        }
    }
    return label;
}

}  // namespace telo::bench
