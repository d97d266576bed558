#ifndef OSTRELSCAN_TESTS_X11_RECEIVER_H
#define OSTRELSCAN_TESTS_X11_RECEIVER_H

#include <chrono>
#include <string>
#include <vector>

#include "text_receiver.h"

/// What arrived in one wait: the text of the key presses.
struct ReceivedKey {
    std::string text;
};

/// A focused bare Xlib window that records the text of the key presses it receives, as
/// ordinary X clients translate them.
class X11Receiver {
public:
    bool ready() const { return receiver_.ready(); }
    /// Waits until at least count characters have arrived or timeout passes.
    std::vector<ReceivedKey> waitForPresses(size_t count, std::chrono::milliseconds timeout) {
        return {{receiver_.waitForCharacters(count, timeout)}};
    }
    /// Waits until nothing has arrived for quiet.
    std::vector<ReceivedKey> settle(std::chrono::milliseconds quiet) {
        return {{receiver_.settle(quiet)}};
    }
    /// Forgets what has arrived so far.
    void clear() { receiver_.clear(); }
    static std::string textOf(const std::vector<ReceivedKey>& presses) {
        std::string text;
        for (const ReceivedKey& key : presses) {
            text += key.text;
        }
        return text;
    }

private:
    TextReceiver receiver_{TextReceiver::Toolkit::Xlib};
};

#endif
