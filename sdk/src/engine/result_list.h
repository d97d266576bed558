// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_RESULT_LIST_H
#define TELO_ENGINE_RESULT_LIST_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/template_settings.h"

namespace telo::engine {

/// One decoded barcode: its format bit and its raw data bytes.
struct TextResult {
    std::uint32_t format = 0;
    std::vector<std::uint8_t> bytes;
};

/// The results of one decode, in the order they were found. The slots keep their storage from
/// decode to decode, so a steady stream of similar results allocates nothing.
class ResultList {
public:
    /// Forgets the results and sets how many the next decode may keep.
    void reset(int capacity);

    /// Appends a result unless an equal one (same format and bytes) is already there or the list
    /// is full; true when it was appended.
    bool add(std::uint32_t format, const std::uint8_t* data, std::size_t size);

    int count() const { return count_; }
    bool full() const { return count_ >= capacity_; }
    const TextResult& operator[](int index) const { return slots_[index]; }

private:
    std::array<TextResult, kMaxBarcodesLimit> slots_;
    int count_ = 0;
    int capacity_ = 0;
};

}  // namespace telo::engine

#endif
