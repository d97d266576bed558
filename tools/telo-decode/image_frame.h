// SPDX-License-Identifier: MIT
#ifndef TELO_TOOLS_TELO_DECODE_IMAGE_FRAME_H
#define TELO_TOOLS_TELO_DECODE_IMAGE_FRAME_H

#include <cstdint>
#include <string>
#include <vector>

namespace telo::tools {

/// The most pixels an image may have (a 48-megapixel photo fits); larger ones are refused after
/// reading their header, before their pixels take time and memory.
inline constexpr long long kMaxImagePixels = 50'000'000;

/// Loads a PNG, JPEG or PGM file and renders it as the camera would deliver it: a YUY2 frame of
/// `width` x `height` whose luma is the image's (transparent parts over white), scaled to fit
/// and centred on white when its size differs. False, with `errorText` set, when the file cannot
/// be read as an image, its header gives no size, or it has more than kMaxImagePixels.
bool loadImageAsFrame(const std::string& path, int width, int height,
                      std::vector<std::uint8_t>& frame, std::string& errorText);

}  // namespace telo::tools

#endif
