// SPDX-License-Identifier: MIT
#ifndef TELO_DECODE_FRAME_DECODER_H
#define TELO_DECODE_FRAME_DECODER_H

#include <cstdint>
#include <mutex>

#include "scanner_identity.h"
#include "telo.h"

namespace telo {

namespace engine {
class BarcodeEngine;
}

/// Size of the grey image a frame is reduced to.
inline constexpr std::int32_t kGreyWidth = kFrameWidth;
inline constexpr std::int32_t kGreyHeight = kFrameHeight;

/// telo_scanner_decode's frame: waits up to 100 ms for a frame not handed out yet and takes it,
/// or null when controlMutex is busy (a beep being sounded). Neither the wait nor the copy holds
/// controlMutex, so LED and beep requests go on meanwhile.
const std::uint8_t* FetchFrame(Scanner& scanner);

/// telo_scanner_decode's work after the frame fetch: keeps the luma bytes (every second byte) of
/// a YUY2 frame as a `width` x `height` grey image, decodes it with the template
/// "QR_CODE_DEFAULT" while holding `engineMutex`, and returns the first result. The Symbol and
/// its text (length + 1 bytes, a NUL added) come from std::malloc. Null when there is no
/// barcode, on an engine error, when memory is short, and for a frame that does not fit:
/// width or height not positive, width x height above 640 x 480, or fewer than
/// 2 x width x height bytes. Bytes past 2 x width x height are ignored.
Symbol* decodeFrame(engine::BarcodeEngine& engine, std::mutex& engineMutex,
                    const std::uint8_t* frame, std::int32_t bufferSize, std::int32_t width,
                    std::int32_t height);

/// telo_scanner_add_type's work: under `engineMutex`, sets (enable) or clears the index's format
/// bits in the template "QR_CODE_DEFAULT" and writes time-out 500 ms, maximum barcodes 1 and
/// expected barcodes 1. True when the engine accepted the changed template; false, with the
/// template untouched, for an index outside 0 to 17.
bool addSymbologyType(engine::BarcodeEngine& engine, std::mutex& engineMutex, std::int32_t index,
                      bool enable);

}  // namespace telo

#endif
