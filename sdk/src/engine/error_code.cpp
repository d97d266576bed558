// SPDX-License-Identifier: MIT
#include "engine/error_code.h"

namespace telo::engine {

const char* GetErrorString(int code) {
    switch (code) {
        case kOk:
            return "Successful.";
        case kErrorInvalidArgument:
            return "Invalid argument: null buffer, non-positive size or stride below the width.";
        case kErrorPixelFormatNotMatched:
            return "Unsupported pixel format: only 8-bit grey (2) is read.";
        case kErrorImageTooLarge:
            return "Image too large.";
        case kErrorTemplateNotFound:
            return "Template not found.";
        case kErrorSettingsFileNotFound:
            return "Settings file not found or not readable.";
        case kErrorSettingsJson:
            return "Settings are not valid JSON.";
        case kErrorSettingsContent:
            return "Settings have an unknown key, a missing key or an invalid value.";
        case kErrorDefaultTemplateMissing:
            return "Settings define no template \"QR_CODE_DEFAULT\".";
        case kErrorInvalidTemplateSettings:
            return "Template settings out of range.";
        case kErrorNoMemory:
            return "Out of memory.";
        case kErrorInternal:
            return "Internal reader error.";
        default:
            return "Unknown error code.";
    }
}

}  // namespace telo::engine
