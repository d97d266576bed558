// SPDX-License-Identifier: MIT
#include <zbar.h>

#include <chrono>

#include "corpus.h"
#include "decoders.h"

namespace telo::bench {

Outcome decodeWithZBar(const std::vector<std::uint8_t>& grey, const Symbology* expectedSymbology,
                       const std::string& expected) {
    zbar::zbar_image_scanner_t* scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, kFrameWidth, kFrameHeight);
    zbar::zbar_image_set_data(image, grey.data(), grey.size(), nullptr);

    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    const int found = zbar::zbar_scan_image(scanner, image);
    outcome.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (found > 0) {
        const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(image);
        outcome.decoded = true;
        outcome.text.assign(zbar::zbar_symbol_get_data(symbol),
                            zbar::zbar_symbol_get_data_length(symbol));
        outcome.correct =
            expectedSymbology != nullptr &&
            static_cast<int>(zbar::zbar_symbol_get_type(symbol)) == expectedSymbology->zbarType &&
            outcome.text == expected;
    }
    zbar::zbar_image_destroy(image);
    zbar::zbar_image_scanner_destroy(scanner);
    return outcome;
}

}  // namespace telo::bench
