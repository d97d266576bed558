// SPDX-License-Identifier: MIT
#include "report.h"

#include <algorithm>
#include <cstdio>

namespace telo::bench {

void Tally::add(const Outcome& outcome) {
    ++frames;
    correct += outcome.correct ? 1 : 0;
    wrong += outcome.wrong() ? 1 : 0;
    times.push_back(outcome.milliseconds);
}

std::string Tally::rateCell() const {
    if (frames == 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%5.1f%% %3d", 100.0 * correct / frames, wrong);
    return text;
}

double Tally::percentile(double share) const {
    if (times.empty()) {
        return 0;
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<std::size_t>(share * (sorted.size() - 1) + 0.5)];
}

void printRateTable(const char* title, const std::vector<std::string>& labels,
                    const std::vector<Row>& rows) {
    std::printf("\n%-20s %6s | %-12s | %-12s | %-12s\n", title, "frames", "ours  wrong",
                "ZXing wrong", "ZBar  wrong");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::printf("%-20s %6d | %-12s | %-12s | %-12s\n", labels[i].c_str(), rows[i].ours.frames,
                    rows[i].ours.rateCell().c_str(), rows[i].zxing.rateCell().c_str(),
                    rows[i].zbar.rateCell().c_str());
    }
}

void printTimeTable(const Row& withCode, const Row& withoutCode) {
    std::printf("\n%-34s %8s %8s %8s\n", "milliseconds per frame", "median", "p95", "max");
    const struct {
        const char* label;
        const Tally& tally;
    } lines[] = {
        {"ours, frames with a code", withCode.ours},
        {"ours, frames without a code", withoutCode.ours},
        {"ZXing, frames with a code", withCode.zxing},
        {"ZXing, frames without a code", withoutCode.zxing},
        {"ZBar, frames with a code", withCode.zbar},
        {"ZBar, frames without a code", withoutCode.zbar},
    };
    for (const auto& line : lines) {
        std::printf("%-34s %8.1f %8.1f %8.1f\n", line.label, line.tally.percentile(0.5),
                    line.tally.percentile(0.95), line.tally.percentile(1));
    }
}

}  // namespace telo::bench
