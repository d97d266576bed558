// SPDX-License-Identifier: MIT
#include "engine/barcode_format.h"

#include <array>
#include <utility>

namespace telo::engine {

namespace {

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 14> kFormatNames{{
    {kFormatCode39, "CODE_39"},
    {kFormatCode128, "CODE_128"},
    {kFormatCode93, "CODE_93"},
    {kFormatCodabar, "CODABAR"},
    {kFormatItf, "ITF"},
    {kFormatEan13, "EAN_13"},
    {kFormatEan8, "EAN_8"},
    {kFormatUpcA, "UPC_A"},
    {kFormatUpcE, "UPC_E"},
    {kFormatIndustrial25, "INDUSTRIAL_25"},
    {kFormatPdf417, "PDF417"},
    {kFormatQrCode, "QR_CODE"},
    {kFormatDataMatrix, "DATAMATRIX"},
    {kFormatAztec, "AZTEC"},
}};

}  // namespace

std::string_view formatName(std::uint32_t bit) {
    for (const auto& [value, name] : kFormatNames) {
        if (value == bit) {
            return name;
        }
    }
    return {};
}

std::optional<std::uint32_t> formatFromName(std::string_view name) {
    for (const auto& [value, formatName] : kFormatNames) {
        if (formatName == name) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace telo::engine
