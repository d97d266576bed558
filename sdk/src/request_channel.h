// SPDX-License-Identifier: MIT
#ifndef TELO_REQUEST_CHANNEL_H
#define TELO_REQUEST_CHANNEL_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace telo {

class DeviceControl;

/// The LED and beeper requests of one handle and the control thread that writes them to the
/// device. controlMutex guards the requests, the thread's device writes and every frame fetch;
/// the thread holds it for each pass, a beep's length included, and requests and fetches only
/// try it, so nothing waits for a beep.
class RequestChannel {
public:
    RequestChannel() = default;
    /// Stops the control thread; a beep being sounded ends at once.
    ~RequestChannel();
    RequestChannel(const RequestChannel&) = delete;
    RequestChannel& operator=(const RequestChannel&) = delete;

    /// Starts the control thread and gives it a moment to reach its wait: 0 or a negative errno.
    int start();

    /// Post a new LED state or a beep for the control thread; false when controlMutex stays busy
    /// (a beep being sounded).
    bool postLed(bool on);
    bool postBeep(std::int32_t milliseconds);

    /// controlMutex as the frame fetch takes it: owned, or not when it is busy.
    std::unique_lock<std::timed_mutex> tryLockForFetch();

    /// Gives the control thread the device it writes to, dropping a beep posted while there was
    /// none. Called while detached.
    void attach(std::shared_ptr<DeviceControl> device);
    /// Takes the device away; a beep being sounded ends at once. Never waits for controlMutex.
    void detach();

private:
    template <typename Change>
    bool post(long deadlineNs, Change change);
    void run();
    void writeIndicator(bool beeper);
    void sleepBeep(std::int32_t milliseconds);

    std::timed_mutex controlMutex_;
    std::condition_variable_any controlCond_;
    // Guarded by controlMutex_.
    bool ledOn_ = false;
    bool beepPending_ = false;
    std::int32_t beepMs_ = 0;
    bool wakePending_ = false;  // a request the thread has not served yet

    std::mutex deviceMutex_;
    std::condition_variable deviceCond_;     // ends a beep when the device goes or the thread stops
    std::shared_ptr<DeviceControl> device_;  // guarded by deviceMutex_

    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace telo

#endif
