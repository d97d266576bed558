#pragma once

#include <atomic>
#include <thread>

struct Scanner;

namespace telo {

/// The LED/beeper thread of one handle: it writes the indicator property whenever a request
/// wakes it. Stopped cooperatively: stop() returns once the thread has left its pass and ended.
class ControlThread {
public:
    ControlThread() = default;
    ~ControlThread() { stop(); }
    ControlThread(const ControlThread&) = delete;
    ControlThread& operator=(const ControlThread&) = delete;

    void start(Scanner& scanner);
    void stop();

private:
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    Scanner* scanner_ = nullptr;
};

/// Starts the control thread of `scanner` and gives it a moment to reach its wait.
void StartControlThread(Scanner& scanner);

}  // namespace telo
