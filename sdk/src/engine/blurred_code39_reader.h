// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BLURRED_CODE39_READER_H
#define TELO_ENGINE_BLURRED_CODE39_READER_H

#include "engine/blurred_bar_reader.h"

namespace telo::engine {

/// Reads Code 39 smeared past what edge finders split (BlurredBarReader). Code 39 has no check
/// character: its reads, like every Code 39 read, count only where the frame shows the whole
/// symbol (WholeSymbolCheck).
class BlurredCode39Reader : public BlurredBarReader {
public:
    BlurredCode39Reader();
};

}  // namespace telo::engine

#endif
