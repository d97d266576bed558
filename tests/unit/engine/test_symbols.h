// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_UNIT_ENGINE_TEST_SYMBOLS_H
#define OSTRELSCAN_TESTS_UNIT_ENGINE_TEST_SYMBOLS_H

#include <cstdint>
#include <string>
#include <vector>

namespace telo::test {

/// A symbol's modules as zint lays them out: rows of dark (true) and light modules.
using Modules = std::vector<std::vector<bool>>;

/// The modules zint makes for `data` in symbology `zintType` (e.g. "C25IND", "QRCODE"), with
/// extra zint arguments; empty when zint fails. Data is passed with zint's escapes enabled, so
/// "\\0" is a NUL byte.
Modules ZintModules(const std::string& zintType, const std::string& data,
                    const std::string& options = "");

/// Where and how a symbol is drawn into a grey image.
struct Placement {
    double module = 3;
    double angleDegrees = 0;
    double centreX = 320;
    double centreY = 240;
    /// Rows a one-row (linear) symbol is stretched to, and each row of a stacked one (zint dumps
    /// PDF417 rows once; they are three modules high), in modules.
    int barHeight = 40;
    int rowHeight = 1;
    std::uint8_t dark = 30;
    std::uint8_t light = 230;
};

/// A light `width` x `height` grey image.
std::vector<std::uint8_t> BlankImage(int width = 640, int height = 480, std::uint8_t light = 230);

/// Draws `modules` into `image` (anti-aliased by supersampling).
void DrawSymbol(const Modules& modules, const Placement& placement,
                std::vector<std::uint8_t>& image, int width = 640, int height = 480);

/// Sets the pixels of the rectangle [x0, x1) x [y0, y1), clipped, to `value`.
void FillRect(std::vector<std::uint8_t>& image, int x0, int y0, int x1, int y1, std::uint8_t value,
              int width = 640, int height = 480);

/// Adds a highlight to `image`: light falling off from (x, y) over `radiusX` and `radiusY`
/// pixels, `strength` grey levels at its centre, clipped white.
void AddGlare(std::vector<std::uint8_t>& image, double x, double y, double radiusX, double radiusY,
              double strength, int width = 640);

/// A YUY2 frame whose luma bytes are `grey` and whose chroma bytes are neutral.
std::vector<std::uint8_t> ToYuyv(const std::vector<std::uint8_t>& grey);

}  // namespace telo::test

#endif
