// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the engine's settings parser: it must fail cleanly, and whatever it
// accepts must hold valid templates including the default one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/error_code.h"
#include "engine/settings_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    telo::engine::TemplateMap templates;
    std::string errorText;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int result = telo::engine::parseSettings(text, templates, errorText);
    if (result == telo::engine::kOk) {
        if (templates.count(telo::engine::kDefaultTemplateName) == 0) {
            std::abort();
        }
        for (const auto& [name, settings] : templates) {
            if (!telo::engine::validateTemplate(settings).empty()) {
                std::abort();
            }
        }
    } else if (errorText.empty() || templates.size() != 0) {
        std::abort();
    }
    return 0;
}
