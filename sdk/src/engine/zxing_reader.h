#pragma once

#include <cstdint>

#include "engine/grey_view.h"
#include "engine/result_list.h"
#include "engine/template_settings.h"

namespace telo::engine {

/// The engine formats that ZXing-C++ reads: every known format but Industrial 2 of 5.
std::uint32_t ZXingFormats(std::uint32_t formatMask);

/// How one ZXing pass looks at its image.
enum class ZXingPass {
    /// A whole camera frame: every orientation, downscaled retries.
    kFrame,
    /// A deskewed crop whose bars run top to bottom: rows only, the right way up or upside down.
    kDeskewed,
};

/// Reads the ZXing formats of `formatMask` in `image` and adds what it finds to `results`, at
/// most `maxSymbols` of them. Does nothing when the mask holds no ZXing format.
void ReadWithZXing(const GreyView& image, std::uint32_t formatMask, const ReaderOptions& options,
                   ZXingPass pass, int maxSymbols, ResultList& results);

}  // namespace telo::engine
