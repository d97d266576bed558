// SPDX-License-Identifier: MIT
#include "engine/result_list.h"

#include <algorithm>

namespace telo::engine {

void ResultList::reset(int capacity) {
    count_ = 0;
    capacity_ = std::clamp(capacity, 0, kMaxBarcodesLimit);
}

bool ResultList::add(std::uint32_t format, const std::uint8_t* data, std::size_t size) {
    if (full()) {
        return false;
    }
    for (int i = 0; i < count_; ++i) {
        const TextResult& kept = slots_[i];
        if (kept.format == format && kept.bytes.size() == size &&
            std::equal(kept.bytes.begin(), kept.bytes.end(), data)) {
            return false;
        }
    }
    TextResult& slot = slots_[count_++];
    slot.format = format;
    slot.bytes.assign(data, data + size);
    return true;
}

}  // namespace telo::engine
