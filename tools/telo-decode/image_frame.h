#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telo::tools {

/// Loads a PNG, JPEG or PGM file and renders it as the camera would deliver it: a YUY2 frame of
/// `width` x `height` whose luma is the image's (transparent parts over white), scaled to fit
/// and centred on white when its size differs. False, with `errorText` set, when the file cannot
/// be read as an image.
bool LoadImageAsFrame(const std::string& path, int width, int height,
                      std::vector<std::uint8_t>& frame, std::string& errorText);

}  // namespace telo::tools
