// SPDX-License-Identifier: MIT
#include "backgrounds.h"

#include <array>
#include <cmath>
#include <string_view>

namespace telo::bench {

namespace {

constexpr double kPi = 3.14159265358979;

constexpr std::string_view kLatinWords[] = {
    "the",    "scanner", "reads", "labels",  "of",         "every", "kind",         "and",
    "sends",  "codes",   "Batch", "Weight",  "net",        "Store", "below",        "25",
    "Made",   "in",      "EU",    "Keep",    "dry",        "Lot",   "ingredients:", "water,",
    "sugar,", "salt",    "Best",  "before:", "2025-06-01",
};
constexpr std::string_view kChineseWords[] = {
    "配料",     "水",       "白砂糖",     "食用盐",     "保质期", "十二个月",
    "生产日期", "见包装",   "贮存条件",   "阴凉干燥处", "产地",   "上海",
    "净含量",   "500克",    "执行标准",   "生产许可证", "电话",   "地址",
    "有限公司", "产品名称", "营养成分表", "能量",       "蛋白质", "脂肪",
};

double uniform(std::mt19937& random, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
}

/// Smooth random field of values 0..1: octaves of interpolated random grids, the coarsest
/// `scale` pixels apart, each half as strong as the one before.
Raster fractalNoise(int width, int height, double scale, int octaves, std::mt19937& random) {
    Raster out(width, height, 0);
    double amplitude = 0.5;
    double total = 0;
    for (int o = 0; o < octaves; ++o, scale /= 2, amplitude /= 2) {
        const int gw = static_cast<int>(width / scale) + 2;
        const int gh = static_cast<int>(height / scale) + 2;
        Raster grid(gw, gh);
        for (float& v : grid.pixels) {
            v = static_cast<float>(uniform(random, 0, 1));
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                out.at(x, y) +=
                    static_cast<float>(amplitude * grid.sample(static_cast<float>(x / scale),
                                                               static_cast<float>(y / scale)));
            }
        }
        total += amplitude;
    }
    for (float& v : out.pixels) {
        v = static_cast<float>(v / total);
    }
    return out;
}

void printPage(Raster& page, const TextPrinter& printer, std::mt19937& random, bool chinese) {
    const float size = static_cast<float>(uniform(random, 9, 22));
    const float ink = static_cast<float>(uniform(random, 0.05, 0.3));
    const float left = static_cast<float>(uniform(random, -40, 40));
    for (float baseline = size + static_cast<float>(uniform(random, -10, 10));
         baseline < page.height + size;
         baseline += size * static_cast<float>(uniform(random, 1.3, 1.8))) {
        float x = left;
        while (x < page.width) {
            const std::string_view word = chinese
                                              ? kChineseWords[random() % std::size(kChineseWords)]
                                              : kLatinWords[random() % std::size(kLatinWords)];
            x = printer.print(page, std::string(word), x, baseline, size, ink) +
                (chinese ? size * 0.3f : size * 0.35f);
        }
    }
}

float stripes(double position, double period, double duty) {
    const double phase = position / period - std::floor(position / period);
    return phase < duty ? 1.0f : 0.0f;
}

}  // namespace

const char* backgroundName(Background background) {
    static constexpr std::array<const char*, kBackgroundCount> kNames = {
        "plain",        "texture", "wood",   "fabric", "Latin text",
        "Chinese text", "stripes", "grille", "table"};
    return kNames[static_cast<int>(background)];
}

Raster makeBackground(Background background, int width, int height, const TextPrinter& printer,
                      std::mt19937& random) {
    const double base = uniform(random, 0.35, 0.9);
    Raster out(width, height, static_cast<float>(base));
    switch (background) {
        case Background::kPlain: {
            const Raster blotches = fractalNoise(width, height, 160, 3, random);
            for (std::size_t i = 0; i < out.pixels.size(); ++i) {
                out.pixels[i] = static_cast<float>(base * (0.92 + 0.16 * blotches.pixels[i]));
            }
            break;
        }
        case Background::kTexture: {
            const Raster grain = fractalNoise(width, height, uniform(random, 8, 40), 5, random);
            const double depth = uniform(random, 0.3, 0.8);
            for (std::size_t i = 0; i < out.pixels.size(); ++i) {
                out.pixels[i] = static_cast<float>(
                    base * (1 - depth + 2 * depth * grain.pixels[i] * grain.pixels[i]));
            }
            break;
        }
        case Background::kWood: {
            const Raster warp = fractalNoise(width, height, 80, 3, random);
            const double angle = uniform(random, 0, kPi);
            const double period = uniform(random, 6, 25);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const double across = x * std::cos(angle) + y * std::sin(angle);
                    const double ring = std::sin((across + 40 * warp.at(x, y)) * 2 * kPi / period);
                    out.at(x, y) = static_cast<float>(base * (0.75 + 0.25 * ring));
                }
            }
            break;
        }
        case Background::kFabric: {
            const double period = uniform(random, 2.5, 7);
            const double angle = uniform(random, 0, kPi);
            const Raster fibres = fractalNoise(width, height, 6, 3, random);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const double u = x * std::cos(angle) + y * std::sin(angle);
                    const double v = -x * std::sin(angle) + y * std::cos(angle);
                    const double weave =
                        std::sin(u * 2 * kPi / period) * std::sin(v * 2 * kPi / period);
                    out.at(x, y) =
                        static_cast<float>(base * (0.7 + 0.2 * weave + 0.2 * fibres.at(x, y)));
                }
            }
            break;
        }
        case Background::kLatinText:
        case Background::kChineseText:
            out = Raster(width, height, static_cast<float>(uniform(random, 0.75, 0.92)));
            printPage(out, printer, random, background == Background::kChineseText);
            break;
        case Background::kStripes: {
            const double angle = uniform(random, 0, kPi);
            const double period = uniform(random, 3, 30);
            const double duty = uniform(random, 0.2, 0.7);
            const double dark = base * uniform(random, 0.1, 0.6);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const double u = x * std::cos(angle) + y * std::sin(angle);
                    out.at(x, y) = static_cast<float>(stripes(u, period, duty) > 0 ? dark : base);
                }
            }
            break;
        }
        case Background::kGrille: {
            const double angle = uniform(random, 0, kPi);
            const double period = uniform(random, 4, 24);
            const double hole = uniform(random, 0.3, 0.7);
            const double dark = base * uniform(random, 0.05, 0.4);
            const bool round = random() % 2 == 0;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const double u = (x * std::cos(angle) + y * std::sin(angle)) / period;
                    const double v = (-x * std::sin(angle) + y * std::cos(angle)) / period;
                    const double fu = u - std::floor(u) - 0.5;
                    const double fv = v - std::floor(v) - 0.5;
                    const bool inHole = round
                                            ? std::hypot(fu, fv) < hole / 2
                                            : std::fabs(fu) < hole / 2 && std::fabs(fv) < hole / 2;
                    out.at(x, y) = static_cast<float>(inHole ? dark : base);
                }
            }
            break;
        }
        case Background::kTable: {
            out = Raster(width, height, static_cast<float>(uniform(random, 0.75, 0.92)));
            const int cellWidth = static_cast<int>(uniform(random, 50, 140));
            const int cellHeight = static_cast<int>(uniform(random, 18, 40));
            const int line = 1 + static_cast<int>(random() % 2);
            const float ink = static_cast<float>(uniform(random, 0.05, 0.3));
            for (int x = static_cast<int>(random() % cellWidth); x < width; x += cellWidth) {
                out.fill(x, 0, x + line, height, ink);
            }
            for (int y = static_cast<int>(random() % cellHeight); y < height; y += cellHeight) {
                out.fill(0, y, width, y + line, ink);
                for (int x = 4; x < width; x += cellWidth) {
                    const std::string figure =
                        std::to_string(random() % 100000) + "." + std::to_string(random() % 100);
                    printer.print(out, figure, static_cast<float>(x + 4),
                                  static_cast<float>(y + cellHeight * 0.75), cellHeight * 0.55f,
                                  ink);
                }
            }
            break;
        }
    }
    return out;
}

}  // namespace telo::bench
