#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace telo::bench {

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;

/// One camera-like frame of the corpus.
struct Frame {
    std::string name;
    /// Position in BenchSymbologies(), or -1 for a frame without a barcode.
    int symbology = -1;
    std::string expected;
    std::vector<std::uint8_t> grey;
};

/// Renders `perSymbology` frames of every bench symbology plus as many without a barcode into
/// `folder` with zint and ImageMagick, and loads them. A folder that already holds a corpus of
/// that size is loaded as it is. False with a message on standard error when a tool fails.
bool MakeCorpus(const std::filesystem::path& folder, int perSymbology, std::vector<Frame>& frames);

}  // namespace telo::bench
