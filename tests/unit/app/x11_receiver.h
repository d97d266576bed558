#ifndef OSTRELSCAN_TESTS_X11_RECEIVER_H
#define OSTRELSCAN_TESTS_X11_RECEIVER_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;

/// XOpenDisplay on DISPLAY, tried a few times: Xvfb refuses a few percent of connections.
_XDisplay* openDisplay();

/// One key press as a real X client sees it.
struct ReceivedKey {
    unsigned long keysym = 0;  ///< after the receiver's own translation
    std::string text;          ///< UTF-8, as Xutf8LookupString gives it
};

/// A focused top-level window on the X display, with its own connection and its own thread,
/// that records the key presses it receives and translates them with its own copy of the
/// keyboard mapping (refreshed on every mapping change), as ordinary clients do.
/// Needs a UTF-8 locale set with setlocale before construction.
class X11Receiver {
public:
    X11Receiver();
    ~X11Receiver();

    X11Receiver(const X11Receiver&) = delete;
    X11Receiver& operator=(const X11Receiver&) = delete;

    /// True once the window is mapped and has the input focus.
    bool ready() const { return ready_; }

    /// Waits until at least count presses have arrived or timeout passes; then returns all
    /// presses so far.
    std::vector<ReceivedKey> waitForPresses(size_t count, std::chrono::milliseconds timeout);

    /// Waits until no press has arrived for quiet, then returns all presses so far.
    std::vector<ReceivedKey> settle(std::chrono::milliseconds quiet);

    /// Forgets what has arrived so far.
    void clear();

    /// The concatenated text of presses.
    static std::string textOf(const std::vector<ReceivedKey>& presses);

private:
    struct Xlib;

    void pump();

    std::unique_ptr<Xlib> x_;
    bool ready_ = false;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<ReceivedKey> presses_;
    std::chrono::steady_clock::time_point lastArrival_;
    bool stop_ = false;
    std::thread thread_;
};

#endif
