// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_BACKGROUNDS_H
#define TELO_BENCH_DECODE_BACKGROUNDS_H

#include <random>

#include "raster.h"
#include "text_printer.h"

namespace telo::bench {

/// What lies around a label, or fills a frame without a code.
enum class Background {
    /// A plain surface with faint blotches.
    kPlain,
    /// Grainy, fibrous material: cardboard, stone, concrete.
    kTexture,
    kWood,
    /// Woven cloth.
    kFabric,
    /// A printed page of Latin or of Chinese text.
    kLatinText,
    kChineseText,
    /// Regular stripes at any angle: a shirt, blinds, a radiator.
    kStripes,
    /// A grid of holes or bars: a speaker grille, a keyboard, a fence.
    kGrille,
    /// A ruled table with figures in its cells.
    kTable,
};

inline constexpr int kBackgroundCount = 9;

/// The printed name of a background.
const char* backgroundName(Background background);

/// A `width` x `height` reflectance raster of `background`.
Raster makeBackground(Background background, int width, int height, const TextPrinter& printer,
                      std::mt19937& random);

}  // namespace telo::bench

#endif
