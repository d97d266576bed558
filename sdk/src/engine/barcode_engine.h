// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BARCODE_ENGINE_H
#define TELO_ENGINE_BARCODE_ENGINE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/decode_pipeline.h"
#include "engine/error_code.h"
#include "engine/result_list.h"
#include "engine/template_settings.h"

namespace telo::engine {

/// The only pixel format decodeBuffer reads: 8-bit grey, one byte per pixel.
inline constexpr int kPixelFormatGrey = 2;
/// Largest width or height decodeBuffer accepts.
inline constexpr int kMaxImageSide = 8192;
/// Largest settings file loadSettingsFromFile reads.
inline constexpr std::size_t kMaxSettingsBytes = 1 << 20;

/// One barcode engine instance: named templates loaded from a settings file, and a decoder that
/// reads grey images with one of them. Every call returns kOk or a negative ErrorCode and never
/// throws. One instance is not for concurrent use; its callers serialise it.
class BarcodeEngine {
public:
    /// A new instance with no templates, or null when memory is short.
    static std::unique_ptr<BarcodeEngine> create();

    BarcodeEngine(const BarcodeEngine&) = delete;
    BarcodeEngine& operator=(const BarcodeEngine&) = delete;

    /// Replaces all templates with those of a settings file (format in settings_parser.h). On
    /// failure the templates stay as they were and `errorText` names the file and the problem.
    int loadSettingsFromFile(const char* path, std::string& errorText);
    /// The same with the settings' text itself.
    int loadSettingsFromString(std::string_view text, std::string& errorText);

    /// Copies the named template's settings into `settings`.
    int getTemplateSettings(std::string_view name, TemplateSettings& settings) const;
    /// Replaces the named (existing) template's settings after checking their bounds; on failure
    /// the template is unchanged and `errorText` says why.
    int setTemplateSettings(std::string_view name, const TemplateSettings& settings,
                            std::string& errorText);

    /// Decodes an image of `height` rows of `width` pixels, rows `stride` bytes apart, with the
    /// named template; the results replace those of the previous decode (none after an error).
    /// Finding no barcode is success with no results.
    int decodeBuffer(const std::uint8_t* buffer, int width, int height, int stride, int pixelFormat,
                     std::string_view templateName);

    /// The results of the latest decode, in the order found.
    const ResultList& results() const { return results_; }

    /// The text of an error code; never null.
    static const char* GetErrorString(int code) { return engine::GetErrorString(code); }

private:
    BarcodeEngine() = default;

    TemplateMap templates_;
    DecodePipeline pipeline_;
    ResultList results_;
};

}  // namespace telo::engine

#endif
