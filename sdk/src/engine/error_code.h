// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_ERROR_CODE_H
#define TELO_ENGINE_ERROR_CODE_H

namespace telo::engine {

/// Results of the engine's calls: zero on success, a negative code otherwise.
enum ErrorCode : int {
    kOk = 0,
    /// A null pointer, a non-positive size or a stride smaller than the width.
    kErrorInvalidArgument = -1,
    /// A pixel format other than kPixelFormatGrey.
    kErrorPixelFormatNotMatched = -2,
    /// An image wider or taller than kMaxImageSide.
    kErrorImageTooLarge = -3,
    /// No template of that name is loaded.
    kErrorTemplateNotFound = -4,
    /// The settings file cannot be opened or read.
    kErrorSettingsFileNotFound = -5,
    /// The settings text is not JSON.
    kErrorSettingsJson = -6,
    /// The settings have an unknown key, a missing key or a value of the wrong type or range.
    kErrorSettingsContent = -7,
    /// The settings define no template "QR_CODE_DEFAULT".
    kErrorDefaultTemplateMissing = -8,
    /// Template settings out of range in a write.
    kErrorInvalidTemplateSettings = -9,
    /// Working memory could not be allocated.
    kErrorNoMemory = -10,
    /// A reader failed in an unexpected way.
    kErrorInternal = -11,
};

/// A fixed English text for every code; unknown codes get a text saying so. Never null.
const char* GetErrorString(int code);

}  // namespace telo::engine

#endif
