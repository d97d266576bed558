// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_BLURRED_ITF_READER_H
#define TELO_ENGINE_BLURRED_ITF_READER_H

#include "engine/blurred_bar_reader.h"

namespace telo::engine {

/// Reads Interleaved 2 of 5 smeared past what edge finders split (BlurredBarReader), a pair of
/// digits at a time: the first digit in the bars, the second in the spaces between them. Its
/// length varies and it has no check digit but ITF-14's, which a 14-digit read must hold: its
/// reads, like every Interleaved 2 of 5 read, count only where the frame shows the whole
/// symbol (WholeSymbolCheck).
class BlurredItfReader : public BlurredBarReader {
public:
    BlurredItfReader();

    /// Reads of later calls must have `digits` digits; 0 lets the row tell.
    void expectDigits(int digits) { expectCharacters(digits == 0 ? 0 : 2 + digits / 2); }
};

}  // namespace telo::engine

#endif
