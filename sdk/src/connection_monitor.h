// SPDX-License-Identifier: MIT
#ifndef TELO_CONNECTION_MONITOR_H
#define TELO_CONNECTION_MONITOR_H

#include <string>

namespace telo {

class CCameraDS;
class DeviceControl;
class RequestChannel;

/// Keeps one handle's camera attached to the scanner as devices come and go, are reset or fail:
/// it counts the video-input devices at every poll, rediscovers the scanner when the count
/// changes or the open device was lost, opens and handshakes it, restarts a stream that stopped,
/// and closes the camera when the scanner is gone. Not for concurrent use.
class ConnectionMonitor {
public:
    ConnectionMonitor(CCameraDS& camera, RequestChannel& requests)
        : camera_(camera), requests_(requests) {}

    /// Position of the first video-input device whose path holds both substrings, or -1. Prints
    /// each path it examines and keeps the matched device for the next open.
    int DiscoverScanner(const char* part1, const char* part2);

    /// 0 when the scanner is present and its camera open, -1 otherwise.
    int PollConnection();

private:
    int poll();
    int keepOpen();
    int openSequence();
    int handshake(DeviceControl& device);
    void closeSequence();
    void closeDevice();

    CCameraDS& camera_;
    RequestChannel& requests_;
    int lastCameraCount_ = -1;  // -1 forces a rediscovery
    bool cameraOpen_ = false;
    std::string scannerNode_;  // the device that discovery matched; empty when none
};

}  // namespace telo

#endif
