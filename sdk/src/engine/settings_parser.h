// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_SETTINGS_PARSER_H
#define TELO_ENGINE_SETTINGS_PARSER_H

#include <string>
#include <string_view>

#include "engine/template_settings.h"

namespace telo::engine {

/// Parses the engine's settings JSON:
///
///   {"templates": {"NAME": {"formats": ["QR_CODE", ...], "timeoutMs": 50,
///                           "maxBarcodes": 1, "expectedBarcodes": 0,
///                           "reader": {"deskew": true, "minLineCount": 2,
///                                      "industrial25MinLength": 1,
///                                      "industrial25CheckDigit": false}}}}
///
/// "formats" and "timeoutMs" are required, the rest default as in TemplateSettings. Unknown keys
/// are errors, and the template kDefaultTemplateName must be present. Returns kOk and fills
/// `templates`, or an ErrorCode with `errorText` saying what is wrong and where; `templates` is
/// left untouched on failure.
int parseSettings(std::string_view text, TemplateMap& templates, std::string& errorText);

}  // namespace telo::engine

#endif
