// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_READ_ARBITER_H
#define TELO_ENGINE_READ_ARBITER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/crop_map.h"
#include "engine/result_list.h"

namespace telo::engine {

/// One read of a symbol, and where in the frame it was read.
struct Read {
    std::uint32_t format = 0;
    std::vector<std::uint8_t> bytes;
    Quad where;
    /// Scan lines that gave this read (1 for matrix codes).
    int lines = 1;
};

/// Collects every read of one decode and settles what the frame says. Equal reads of one place
/// add up their lines; reads of one place that disagree cancel each other out, since at most
/// one of them is right and the frame does not tell which (a UPC-A at small modules read as a
/// different, check-digit-valid EAN-13, say).
class ReadArbiter {
public:
    void reset() { reads_.clear(); }

    void add(Read read);

    /// Reads that no other read of their place contradicts and, for linear formats, that at
    /// least `minLines` lines gave.
    int settled(int minLines) const;

    /// Puts the settled reads into `results`, in the order they were first made.
    void publish(int minLines, ResultList& results) const;

private:
    bool isSettled(std::size_t index, int minLines) const;

    std::vector<Read> reads_;
};

}  // namespace telo::engine

#endif
