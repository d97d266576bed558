// SPDX-License-Identifier: MIT
#include "engine/settings_parser.h"

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "engine/barcode_format.h"
#include "engine/error_code.h"

namespace telo::engine {

namespace {

using nlohmann::json;

/// A settings error: the code and the text for the caller.
struct Failure {
    int code;
    std::string text;
};

std::string quotedName(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::optional<Failure> checkKeys(const json& object, std::initializer_list<std::string_view> known,
                                 const std::string& where) {
    for (const auto& item : object.items()) {
        bool isKnown = false;
        for (std::string_view key : known) {
            isKnown = isKnown || item.key() == key;
        }
        if (!isKnown) {
            return Failure{kErrorSettingsContent,
                           where + ": unknown key " + quotedName(item.key())};
        }
    }
    return std::nullopt;
}

std::optional<Failure> readInt(const json& object, const char* key, const std::string& where,
                               std::int32_t& value) {
    auto it = object.find(key);
    if (it == object.end()) {
        return std::nullopt;
    }
    bool fits = false;
    if (it->is_number_unsigned()) {
        fits = it->get<std::uint64_t>() <=
               static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    } else if (it->is_number_integer()) {
        auto number = it->get<std::int64_t>();
        fits = number >= std::numeric_limits<std::int32_t>::min() &&
               number <= std::numeric_limits<std::int32_t>::max();
    }
    if (!fits) {
        return Failure{kErrorSettingsContent,
                       where + ": " + quotedName(key) + " must be an integer"};
    }
    value = static_cast<std::int32_t>(it->get<std::int64_t>());
    return std::nullopt;
}

std::optional<Failure> readBool(const json& object, const char* key, const std::string& where,
                                bool& value) {
    auto it = object.find(key);
    if (it == object.end()) {
        return std::nullopt;
    }
    if (!it->is_boolean()) {
        return Failure{kErrorSettingsContent,
                       where + ": " + quotedName(key) + " must be true or false"};
    }
    value = it->get<bool>();
    return std::nullopt;
}

std::optional<Failure> readFormats(const json& list, const std::string& where,
                                   std::uint32_t& mask) {
    if (!list.is_array()) {
        return Failure{kErrorSettingsContent, where + ": \"formats\" must be a list of names"};
    }
    mask = 0;
    for (const json& entry : list) {
        std::optional<std::uint32_t> bit;
        if (entry.is_string()) {
            bit = formatFromName(entry.get_ref<const std::string&>());
        }
        if (!bit) {
            return Failure{kErrorSettingsContent, where + ": unknown format " + entry.dump()};
        }
        mask |= *bit;
    }
    return std::nullopt;
}

std::optional<Failure> readReaderOptions(const json& object, const std::string& where,
                                         ReaderOptions& options) {
    if (!object.is_object()) {
        return Failure{kErrorSettingsContent, where + " must be an object"};
    }
    if (auto failure = checkKeys(
            object, {"deskew", "minLineCount", "industrial25MinLength", "industrial25CheckDigit"},
            where)) {
        return failure;
    }
    if (auto failure = readBool(object, "deskew", where, options.deskew)) {
        return failure;
    }
    if (auto failure = readInt(object, "minLineCount", where, options.minLineCount)) {
        return failure;
    }
    if (auto failure =
            readInt(object, "industrial25MinLength", where, options.industrial25MinLength)) {
        return failure;
    }
    return readBool(object, "industrial25CheckDigit", where, options.industrial25CheckDigit);
}

std::optional<Failure> readTemplate(const json& object, const std::string& where,
                                    TemplateSettings& settings) {
    if (!object.is_object()) {
        return Failure{kErrorSettingsContent, where + " must be an object"};
    }
    if (auto failure = checkKeys(
            object, {"formats", "timeoutMs", "maxBarcodes", "expectedBarcodes", "reader"}, where)) {
        return failure;
    }
    for (const char* required : {"formats", "timeoutMs"}) {
        if (!object.contains(required)) {
            return Failure{kErrorSettingsContent, where + ": missing key " + quotedName(required)};
        }
    }
    if (auto failure = readFormats(object.at("formats"), where, settings.formatMask)) {
        return failure;
    }
    if (auto failure = readInt(object, "timeoutMs", where, settings.timeoutMs)) {
        return failure;
    }
    if (auto failure = readInt(object, "maxBarcodes", where, settings.maxBarcodes)) {
        return failure;
    }
    if (auto failure = readInt(object, "expectedBarcodes", where, settings.expectedBarcodes)) {
        return failure;
    }
    if (auto it = object.find("reader"); it != object.end()) {
        if (auto failure = readReaderOptions(*it, where + " \"reader\"", settings.reader)) {
            return failure;
        }
    }
    if (std::string problem = validateTemplate(settings); !problem.empty()) {
        return Failure{kErrorSettingsContent, where + ": " + problem};
    }
    return std::nullopt;
}

std::optional<Failure> readSettings(const json& root, TemplateMap& templates) {
    if (!root.is_object()) {
        return Failure{kErrorSettingsContent, "settings must be a JSON object"};
    }
    if (auto failure = checkKeys(root, {"templates"}, "settings")) {
        return failure;
    }
    auto list = root.find("templates");
    if (list == root.end() || !list->is_object()) {
        return Failure{kErrorSettingsContent, "settings: \"templates\" must be an object"};
    }
    for (const auto& item : list->items()) {
        TemplateSettings settings;
        if (auto failure =
                readTemplate(item.value(), "template " + quotedName(item.key()), settings)) {
            return failure;
        }
        templates[item.key()] = settings;
    }
    if (templates.count(kDefaultTemplateName) == 0) {
        return Failure{kErrorDefaultTemplateMissing,
                       "settings define no template " + quotedName(kDefaultTemplateName)};
    }
    return std::nullopt;
}

}  // namespace

int parseSettings(std::string_view text, TemplateMap& templates, std::string& errorText) {
    json root;
    try {
        root = json::parse(text.begin(), text.end());
    } catch (const json::exception& error) {
        // Syntax errors and out-of-range numbers alike; the library tags its messages
        // "[json.exception.KIND.N] ".
        std::string_view message = error.what();
        if (auto tag = message.find("] "); tag != std::string_view::npos) {
            message.remove_prefix(tag + 2);
        }
        errorText = "settings are not valid JSON: " + std::string(message);
        return kErrorSettingsJson;
    }
    TemplateMap parsed;
    if (auto failure = readSettings(root, parsed)) {
        errorText = std::move(failure->text);
        return failure->code;
    }
    templates = std::move(parsed);
    return kOk;
}

}  // namespace telo::engine
