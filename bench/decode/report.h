// SPDX-License-Identifier: MIT
#ifndef TELO_BENCH_DECODE_REPORT_H
#define TELO_BENCH_DECODE_REPORT_H

#include <string>
#include <vector>

#include "decoders.h"

namespace telo::bench {

/// Reads and times of one decoder over a group of frames.
struct Tally {
    int frames = 0;
    int correct = 0;
    int wrong = 0;
    std::vector<double> times;

    void add(const Outcome& outcome);
    /// "97.2%  1": the share read correctly and the number of wrong reads.
    std::string rateCell() const;
    /// The time at `share` (0.5 median, 1 maximum) of the sorted times, milliseconds.
    double percentile(double share) const;
};

/// The three decoders side by side over one group of frames.
struct Row {
    Tally ours;
    Tally zxing;
    Tally zbar;
};

/// Prints a table of rates and wrong reads, one line per group; a decoder without frames in a
/// group (ZBar for a symbology it does not read) shows "-".
void printRateTable(const char* title, const std::vector<std::string>& labels,
                    const std::vector<Row>& rows);

/// Prints median, 95th percentile and maximum times of each decoder on frames with and without
/// a code.
void printTimeTable(const Row& withCode, const Row& withoutCode);

}  // namespace telo::bench

#endif
