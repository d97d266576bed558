// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BLURRED_CODE128_READER_H
#define TELO_ENGINE_BLURRED_CODE128_READER_H

#include "engine/blurred_bar_reader.h"

namespace telo::engine {

/// Reads Code 128 smeared past what edge finders split (BlurredBarReader): start character A,
/// B or C, a valid check character, and the bytes ZXing gives for the same symbol, so that two
/// readings of one place agree.
class BlurredCode128Reader : public BlurredBarReader {
public:
    BlurredCode128Reader();
};

}  // namespace telo::engine

#endif
