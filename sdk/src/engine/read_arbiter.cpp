// SPDX-License-Identifier: MIT
#include "engine/read_arbiter.h"

#include <algorithm>
#include <cmath>

#include "engine/barcode_format.h"

namespace telo::engine {

namespace {

/// A read line is thin; its box is widened across it by this share of its length (at least
/// kMinBoxPixels) so that reads of one symbol along different lines meet.
constexpr float kThinBoxShare = 0.15f;
constexpr float kMinBoxPixels = 8;

struct Box {
    float left;
    float top;
    float right;
    float bottom;
};

Box boxOf(const Quad& quad) {
    Box box{quad[0].x, quad[0].y, quad[0].x, quad[0].y};
    for (const PointF& p : quad) {
        box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x),
               std::max(box.bottom, p.y)};
    }
    const float reach = std::max(
        kMinBoxPixels, kThinBoxShare * std::max(box.right - box.left, box.bottom - box.top));
    const float padX = std::max(0.0f, (reach - (box.right - box.left)) / 2);
    const float padY = std::max(0.0f, (reach - (box.bottom - box.top)) / 2);
    return {box.left - padX, box.top - padY, box.right + padX, box.bottom + padY};
}

bool overlap(const Quad& a, const Quad& b) {
    const Box p = boxOf(a);
    const Box q = boxOf(b);
    return p.left <= q.right && q.left <= p.right && p.top <= q.bottom && q.top <= p.bottom;
}

bool sameContent(const Read& a, const Read& b) {
    return a.format == b.format && a.bytes == b.bytes;
}

}  // namespace

void ReadArbiter::add(Read read) {
    for (Read& kept : reads_) {
        if (sameContent(kept, read) && overlap(kept.where, read.where)) {
            kept.lines += read.lines;
            return;
        }
    }
    reads_.push_back(std::move(read));
}

bool ReadArbiter::isSettled(std::size_t index, int minLines) const {
    const Read& read = reads_[index];
    if ((read.format & kLinearFormats) != 0 && read.lines < minLines) {
        return false;
    }
    for (std::size_t other = 0; other < reads_.size(); ++other) {
        if (other != index && !sameContent(read, reads_[other]) &&
            overlap(read.where, reads_[other].where)) {
            return false;
        }
    }
    return true;
}

int ReadArbiter::settled(int minLines) const {
    int count = 0;
    for (std::size_t i = 0; i < reads_.size(); ++i) {
        count += isSettled(i, minLines) ? 1 : 0;
    }
    return count;
}

void ReadArbiter::publish(int minLines, ResultList& results) const {
    for (std::size_t i = 0; i < reads_.size(); ++i) {
        if (isSettled(i, minLines)) {
            results.add(reads_[i].format, reads_[i].bytes.data(), reads_[i].bytes.size());
        }
    }
}

}  // namespace telo::engine
