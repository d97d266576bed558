// SPDX-License-Identifier: MIT
#include "test_symbols.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

namespace telo::test {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr int kSupersampling = 3;

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

Modules ZintModules(const std::string& zintType, const std::string& data,
                    const std::string& options) {
    const std::string command = "zint --dump --esc -b " + zintType + " " + options + " -d " +
                                ShellQuoted(data) + " 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    Modules modules;
    if (!pipe) {
        return modules;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream hex(line);
        std::string byte;
        std::vector<bool> row;
        while (hex >> byte) {
            const unsigned value = std::stoul(byte, nullptr, 16);
            for (int bit = static_cast<int>(byte.size()) * 4 - 1; bit >= 0; --bit) {
                row.push_back(((value >> bit) & 1) != 0);
            }
        }
        if (!row.empty()) {
            modules.push_back(row);
        }
    }
    return modules;
}

std::vector<std::uint8_t> BlankImage(int width, int height, std::uint8_t light) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, light);
}

void DrawSymbol(const Modules& modules, const Placement& p, std::vector<std::uint8_t>& image,
                int width, int height) {
    if (modules.empty()) {
        return;
    }
    const bool linear = modules.size() == 1;
    const double columns = static_cast<double>(modules[0].size());
    const double rows = linear ? p.barHeight : static_cast<double>(modules.size() * p.rowHeight);
    const double angle = p.angleDegrees * kPi / 180;
    const double cosA = std::cos(angle);
    const double sinA = std::sin(angle);
    const double reach = std::hypot(columns, rows) * p.module / 2 + 2;
    for (int y = std::max(0, static_cast<int>(p.centreY - reach));
         y < std::min(height, static_cast<int>(p.centreY + reach)); ++y) {
        for (int x = std::max(0, static_cast<int>(p.centreX - reach));
             x < std::min(width, static_cast<int>(p.centreX + reach)); ++x) {
            int dark = 0;
            for (int sy = 0; sy < kSupersampling; ++sy) {
                for (int sx = 0; sx < kSupersampling; ++sx) {
                    const double dx = x + (sx + 0.5) / kSupersampling - 0.5 - p.centreX;
                    const double dy = y + (sy + 0.5) / kSupersampling - 0.5 - p.centreY;
                    const double u = (dx * cosA + dy * sinA) / p.module + columns / 2;
                    const double v = (-dx * sinA + dy * cosA) / p.module + rows / 2;
                    if (u < 0 || v < 0 || u >= columns || v >= rows) {
                        continue;
                    }
                    const auto& row =
                        modules[linear ? 0 : static_cast<std::size_t>(v) / p.rowHeight];
                    dark += row[static_cast<std::size_t>(u)] ? 1 : 0;
                }
            }
            if (dark > 0) {
                const double share = static_cast<double>(dark) / (kSupersampling * kSupersampling);
                std::uint8_t& pixel = image[static_cast<std::size_t>(y) * width + x];
                pixel = static_cast<std::uint8_t>(pixel - share * (pixel - p.dark) + 0.5);
            }
        }
    }
}

void FillRect(std::vector<std::uint8_t>& image, int x0, int y0, int x1, int y1, std::uint8_t value,
              int width, int height) {
    for (int y = std::max(y0, 0); y < std::min(y1, height); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
            image[static_cast<std::size_t>(y) * width + x] = value;
        }
    }
}

void AddGlare(std::vector<std::uint8_t>& image, double x, double y, double radiusX, double radiusY,
              double strength, int width) {
    for (std::size_t i = 0; i < image.size(); ++i) {
        const double u = (static_cast<double>(i % width) - x) / radiusX;
        const double v = (static_cast<double>(i / width) - y) / radiusY;
        const double light = image[i] + strength * std::exp(-(u * u + v * v));
        image[i] = static_cast<std::uint8_t>(std::min(light, 255.0));
    }
}

std::vector<std::uint8_t> ToYuyv(const std::vector<std::uint8_t>& grey) {
    std::vector<std::uint8_t> frame(grey.size() * 2, 128);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        frame[2 * i] = grey[i];
    }
    return frame;
}

}  // namespace telo::test
