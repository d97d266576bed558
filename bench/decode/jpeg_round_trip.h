// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_JPEG_ROUND_TRIP_H
#define TELO_BENCH_DECODE_JPEG_ROUND_TRIP_H

#include <cstdint>
#include <vector>

namespace telo::bench {

/// Compresses a grey image as JPEG at `quality` (1-100) and decompresses it in place, as a
/// camera or a photo upload would. False, the image untouched, when libjpeg fails.
bool jpegRoundTrip(std::vector<std::uint8_t>& grey, int width, int height, int quality);

}  // namespace telo::bench

#endif
