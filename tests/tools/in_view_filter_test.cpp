// SPDX-License-Identifier: MIT
#include "in_view_filter.h"

#include <gtest/gtest.h>

namespace telo::tools {
namespace {

TEST(InViewFilter, ACodeIsPrintedOnceWhileItStaysInView) {
    struct Decode {
        int ms;
        const char* code;
        bool printed;
    };
    const Decode decodes[] = {
        {0, "A", true},      // comes into view
        {100, "A", false},   // held under the scanner
        {1000, "A", false},  // decoded 900 ms ago: a frame or a few without it do not count
        {2000, "A", true},   // not decoded for a second: it left and came back
        {2100, "B", true},   // another code
        {2200, "A", true},   // back after another code
    };
    InViewFilter filter;
    for (const Decode& decode : decodes) {
        const auto at = InViewFilter::Clock::time_point() + std::chrono::milliseconds(decode.ms);
        EXPECT_EQ(filter.admit(decode.code, at), decode.printed) << decode.ms << " ms";
    }
}

}  // namespace
}  // namespace telo::tools
