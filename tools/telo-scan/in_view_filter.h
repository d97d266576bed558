// SPDX-License-Identifier: MIT
#ifndef TELO_TOOLS_TELO_SCAN_IN_VIEW_FILTER_H
#define TELO_TOOLS_TELO_SCAN_IN_VIEW_FILTER_H

#include <chrono>
#include <optional>
#include <string>

namespace telo::tools {

/// Chooses the decodes that telo-scan prints: a code once while it stays in view, as zbarcam
/// does. A code counts as out of view once it has not been decoded for kOutOfView, or when
/// another code was printed after it.
class InViewFilter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kOutOfView = std::chrono::seconds(1);

    /// True when `code`, decoded at `now`, comes into view and is to be printed.
    bool admit(const std::string& code, Clock::time_point now) {
        const bool stayed = lastSeen_ && code == last_ && now - *lastSeen_ < kOutOfView;
        last_ = code;
        lastSeen_ = now;
        return !stayed;
    }

private:
    std::string last_;
    std::optional<Clock::time_point> lastSeen_;
};

}  // namespace telo::tools

#endif
