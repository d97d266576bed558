// SPDX-License-Identifier: MIT
#include "engine/barcode_engine.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

#include "engine/settings_parser.h"

namespace telo::engine {

std::unique_ptr<BarcodeEngine> BarcodeEngine::create() {
    return std::unique_ptr<BarcodeEngine>(new (std::nothrow) BarcodeEngine());
}

int BarcodeEngine::loadSettingsFromFile(const char* path, std::string& errorText) {
    if (path == nullptr) {
        errorText = "no settings file given";
        return kErrorInvalidArgument;
    }
    const std::string name = std::string("settings file \"") + path + "\"";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        errorText = "cannot open " + name + ": " + std::strerror(errno);
        return kErrorSettingsFileNotFound;
    }
    std::string text(kMaxSettingsBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        errorText = "cannot read " + name;
        return kErrorSettingsFileNotFound;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxSettingsBytes) {
        errorText = name + " is larger than " + std::to_string(kMaxSettingsBytes) + " bytes";
        return kErrorSettingsContent;
    }
    const int result = loadSettingsFromString(text, errorText);
    if (result != kOk) {
        errorText = name + ": " + errorText;
    }
    return result;
}

int BarcodeEngine::loadSettingsFromString(std::string_view text, std::string& errorText) {
    return parseSettings(text, templates_, errorText);
}

int BarcodeEngine::getTemplateSettings(std::string_view name, TemplateSettings& settings) const {
    auto it = templates_.find(name);
    if (it == templates_.end()) {
        return kErrorTemplateNotFound;
    }
    settings = it->second;
    return kOk;
}

int BarcodeEngine::setTemplateSettings(std::string_view name, const TemplateSettings& settings,
                                       std::string& errorText) {
    auto it = templates_.find(name);
    if (it == templates_.end()) {
        errorText = "no template \"" + std::string(name) + "\"";
        return kErrorTemplateNotFound;
    }
    if (std::string problem = validateTemplate(settings); !problem.empty()) {
        errorText = std::move(problem);
        return kErrorInvalidTemplateSettings;
    }
    it->second = settings;
    return kOk;
}

int BarcodeEngine::decodeBuffer(const std::uint8_t* buffer, int width, int height, int stride,
                                int pixelFormat, std::string_view templateName) {
    results_.reset(0);
    if (pixelFormat != kPixelFormatGrey) {
        return kErrorPixelFormatNotMatched;
    }
    if (buffer == nullptr || width <= 0 || height <= 0 || stride < width) {
        return kErrorInvalidArgument;
    }
    if (width > kMaxImageSide || height > kMaxImageSide) {
        return kErrorImageTooLarge;
    }
    auto it = templates_.find(templateName);
    if (it == templates_.end()) {
        return kErrorTemplateNotFound;
    }
    try {
        pipeline_.run({buffer, width, height, stride}, it->second, results_);
    } catch (const std::bad_alloc&) {
        results_.reset(0);
        return kErrorNoMemory;
    } catch (const std::exception&) {
        results_.reset(0);
        return kErrorInternal;
    }
    return kOk;
}

}  // namespace telo::engine
