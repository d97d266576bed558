#ifndef OSTRELSCAN_TESTS_E2E_RECEIVED_TEXT_H
#define OSTRELSCAN_TESTS_E2E_RECEIVED_TEXT_H

#include <chrono>
#include <string>
#include <thread>

#include "x11_receiver.h"

/// The text the receiver got once it holds at least `bytes` bytes of it, or at the timeout.
/// Presses that carry no text (modifier keys) do not count.
inline std::string waitForText(X11Receiver& receiver, size_t bytes,
                               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text = X11Receiver::textOf(receiver.waitForPresses(0, {}));
    while (text.size() < bytes && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        text = X11Receiver::textOf(receiver.waitForPresses(0, {}));
    }
    return text;
}

/// The text the receiver got, once nothing has arrived for `quiet`.
inline std::string settledText(X11Receiver& receiver,
                               std::chrono::milliseconds quiet = std::chrono::milliseconds(1500)) {
    return X11Receiver::textOf(receiver.settle(quiet));
}

#endif
