// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BLURRED_CODE93_READER_H
#define TELO_ENGINE_BLURRED_CODE93_READER_H

#include "engine/blurred_bar_reader.h"

namespace telo::engine {

/// Reads Code 93 smeared past what edge finders split (BlurredBarReader): both check characters
/// must hold. Symbols with full-ASCII shift characters are left to ZXing, which gives their
/// bytes.
class BlurredCode93Reader : public BlurredBarReader {
public:
    BlurredCode93Reader();
};

}  // namespace telo::engine

#endif
