// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BLURRED_EAN_READER_H
#define TELO_ENGINE_BLURRED_EAN_READER_H

#include "engine/blurred_bar_reader.h"

namespace telo::engine {

/// Reads EAN-13, UPC-A and EAN-8 smeared past what edge finders split (BlurredBarReader), in
/// either direction: the guards at both ends are alike, so a row read from the right is turned
/// round by its digits' parities. Its text is what ZXing gives for the same symbol: an EAN-13
/// starting with 0 is UPC-A's twelve digits where UPC-A is asked for.
class BlurredEanReader : public BlurredBarReader {
public:
    BlurredEanReader();
};

}  // namespace telo::engine

#endif
