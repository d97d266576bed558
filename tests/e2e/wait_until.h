// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_E2E_WAIT_UNTIL_H
#define OSTRELSCAN_TESTS_E2E_WAIT_UNTIL_H

#include <chrono>
#include <functional>
#include <thread>

/// Checks done() every 20 ms until it holds (true) or timeout has passed (false), for states
/// that another process reaches: the application, the simulated scanner, the X server.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

#endif
