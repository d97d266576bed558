#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "camera/camera_ds.h"
#include "control_thread.h"
#include "engine/barcode_engine.h"
#include "telo.h"

namespace telo {
class DeviceControl;
}

/// The handle behind the public Scanner pointer: everything the library keeps for one scanner.
struct Scanner {
    std::unique_ptr<telo::engine::BarcodeEngine> engine;
    /// The device that discovery matched, by node name; empty after a failed discovery.
    std::string discoveredNode;
    telo::CCameraDS camera;

    /// Serialises every use of `engine`.
    std::mutex engineMutex;
    /// Guards the LED/beeper request, the device channel and every frame fetch.
    std::timed_mutex controlMutex;
    std::condition_variable_any controlCond;
    /// 1 while the control thread is inside its pass, else 0.
    std::atomic<std::int32_t> controlEntered{0};
    telo::ControlThread controlThread;

    // Guarded by controlMutex.
    bool ledOn = false;
    bool beepPending = false;
    std::int32_t beepMs = 0;
    /// A request that the control thread has not served yet, so that none is lost between waits.
    bool wakePending = false;
    /// The open camera's vendor-property channel; null while the camera is closed.
    std::shared_ptr<telo::DeviceControl> deviceControl;
};
