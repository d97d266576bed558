// SPDX-License-Identifier: MIT
#include "text_printer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>

namespace telo::bench {

namespace {

constexpr char kLatinFace[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char kCjkFace[] = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

/// The next code point of UTF-8 text at `at`, which it advances; malformed bytes read as '?'.
char32_t nextCodePoint(const std::string& text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (; extra > 0 && at < text.size(); --extra) {
        code = (code << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    return extra == 0 ? code : U'?';
}

}  // namespace

struct TextPrinter::Faces {
    FT_Library library = nullptr;
    FT_Face latin = nullptr;
    FT_Face cjk = nullptr;
    std::string error;

    ~Faces() {
        for (FT_Face face : {cjk, latin}) {
            if (face != nullptr) {
                FT_Done_Face(face);
            }
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

TextPrinter::TextPrinter() : faces_(new Faces) {
    if (FT_Init_FreeType(&faces_->library) != 0) {
        faces_->error = "FreeType cannot start";
        return;
    }
    if (FT_New_Face(faces_->library, kLatinFace, 0, &faces_->latin) != 0) {
        faces_->error = std::string("cannot load ") + kLatinFace;
    } else if (FT_New_Face(faces_->library, kCjkFace, 0, &faces_->cjk) != 0) {
        faces_->error = std::string("cannot load ") + kCjkFace;
    }
}

TextPrinter::~TextPrinter() = default;

bool TextPrinter::ready(std::string& errorText) const {
    errorText = faces_->error;
    return errorText.empty();
}

float TextPrinter::print(Raster& raster, const std::string& text, float x, float y, float size,
                         float ink) const {
    if (!faces_->error.empty() || size < 1) {
        return x;
    }
    const auto pixels = static_cast<FT_UInt>(std::lround(size));
    for (std::size_t at = 0; at < text.size();) {
        const char32_t code = nextCodePoint(text, at);
        FT_Face face = code < 0x2E80 ? faces_->latin : faces_->cjk;
        if (FT_Set_Pixel_Sizes(face, 0, pixels) != 0 ||
            FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_GlyphSlot glyph = face->glyph;
        const int left = static_cast<int>(std::lround(x)) + glyph->bitmap_left;
        const int top = static_cast<int>(std::lround(y)) - glyph->bitmap_top;
        for (unsigned row = 0; row < glyph->bitmap.rows; ++row) {
            for (unsigned column = 0; column < glyph->bitmap.width; ++column) {
                const int px = left + static_cast<int>(column);
                const int py = top + static_cast<int>(row);
                if (px < 0 || py < 0 || px >= raster.width || py >= raster.height) {
                    continue;
                }
                const float coverage =
                    glyph->bitmap.buffer[row * glyph->bitmap.pitch + column] / 255.0f;
                float& pixel = raster.at(px, py);
                pixel += coverage * (ink - pixel);
            }
        }
        x += glyph->advance.x / 64.0f;
    }
    return x;
}

}  // namespace telo::bench
