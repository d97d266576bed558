// SPDX-License-Identifier: MIT
#ifndef TELO_SCANNER_H
#define TELO_SCANNER_H

#include <memory>
#include <mutex>

#include "camera/camera_ds.h"
#include "connection_monitor.h"
#include "engine/barcode_engine.h"
#include "request_channel.h"
#include "telo.h"

/// The handle behind the public Scanner pointer: everything the library keeps for one scanner.
/// Each part owns its state; the handle only ties them together.
struct Scanner {
    std::unique_ptr<telo::engine::BarcodeEngine> engine;
    /// Serialises every use of `engine`.
    std::mutex engineMutex;
    telo::CCameraDS camera;
    /// LED and beeper requests, controlMutex and the control thread.
    telo::RequestChannel requests;
    telo::ConnectionMonitor monitor{camera, requests};
};

#endif
