#pragma once

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
    void Reset() { reads_.clear(); }

    void Add(Read read);

    /// Reads that no other read of their place contradicts and, for linear formats, that at
    /// least `minLines` lines gave.
    int Settled(int minLines) const;

    /// Puts the settled reads into `results`, in the order they were first made.
    void Publish(int minLines, ResultList& results) const;

private:
    bool IsSettled(std::size_t index, int minLines) const;

    std::vector<Read> reads_;
};

}  // namespace telo::engine
