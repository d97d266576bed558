// The exported interface: handle life, LED and beeper requests, decoding and results.
#include "scanner.h"

#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "decode/frame_decoder.h"
#include "engine_settings_file.h"
#include "monitor.h"
#include "print_message.h"
#include "timed_lock.h"

static_assert(sizeof(bool) == 1, "booleans cross the interface as one byte");

namespace {

constexpr const char* kEngineSettingsPath = "etc/qr_balance.json";
constexpr auto kNoScannerPause = std::chrono::milliseconds(100);

// The newest camera frame, taken under controlMutex; null when the mutex is busy.
const std::uint8_t* FetchFrame(Scanner& scanner) {
    if (!telo::TimedLock(scanner.controlMutex, telo::kFrameFetchDeadlineNs)) {
        return nullptr;
    }
    const std::uint8_t* frame = scanner.camera.QueryFrame();
    scanner.controlMutex.unlock();
    return frame;
}

// Posts a request for the control thread once `locked` took controlMutex; false when it
// could not.
template <typename Change>
bool PostRequest(Scanner& scanner, bool locked, Change change) {
    if (!locked) {
        return false;
    }
    change();
    scanner.wakePending = true;
    scanner.controlCond.notify_one();
    scanner.controlMutex.unlock();
    return true;
}

}  // namespace

extern "C" {

TELO_API Scanner* telo_scanner_create(void) {
    Scanner* scanner = new (std::nothrow) Scanner;
    if (scanner == nullptr) {
        telo::PrintMessage("malloc error\n");
        return nullptr;
    }
    if (telo::DiscoverScanner(*scanner, "0525", "a4c1") < 0) {
        std::this_thread::sleep_for(kNoScannerPause);
        delete scanner;
        return nullptr;
    }
    scanner->engine = telo::engine::BarcodeEngine::Create();
    if (!scanner->engine) {
        telo::PrintMessage("crt_ins error\n");
        delete scanner;
        return nullptr;
    }
    telo::PrintMessage("Version: SECV1.2.05\n");
    std::string errorText;
    if (scanner->engine->LoadSettingsFromFile(telo::EngineSettingsFile(kEngineSettingsPath).c_str(),
                                              errorText) != 0) {
        delete scanner;
        return nullptr;
    }
    telo::StartControlThread(*scanner);
    return scanner;
}

TELO_API void telo_scanner_destroy(Scanner* scanner) {
    if (scanner == nullptr) {
        return;
    }
    // No library thread may outlive the handle: the control thread ends before the camera
    // closes and the record goes.
    scanner->controlThread.stop();
    if (scanner->camera.graphConnected()) {
        scanner->camera.CloseCamera();
        telo::ForgetConnection();
    }
    delete scanner;
}

TELO_API bool telo_scanner_is_connect(Scanner* scanner) {
    return telo::PollConnection(*scanner) >= 0;
}

TELO_API Symbol* telo_scanner_decode(Scanner* scanner) {
    const std::uint8_t* frame = FetchFrame(*scanner);
    if (frame == nullptr) {
        telo::PrintMessage("NULL Frame\n");
        return nullptr;
    }
    const telo::CCameraDS& camera = scanner->camera;
    return telo::DecodeFrame(*scanner->engine, scanner->engineMutex, frame, camera.bufferSize(),
                             camera.width(), camera.height());
}

TELO_API bool telo_scanner_add_type(Scanner* scanner, int32_t index, bool enable) {
    return telo::AddSymbologyType(*scanner->engine, scanner->engineMutex, index, enable);
}

TELO_API bool telo_scanner_beep(Scanner* scanner, int32_t milliseconds) {
    const bool locked = telo::TimedLock(scanner->controlMutex, telo::kBeepDeadlineNs);
    return PostRequest(*scanner, locked, [&] {
        scanner->beepMs = milliseconds;
        scanner->beepPending = true;
    });
}

TELO_API bool telo_scanner_led(Scanner* scanner, bool on) {
    const bool locked =
        telo::TimedLockOrWait(scanner->controlMutex, telo::kLedDeadlineNs, telo::kLedWait);
    return PostRequest(*scanner, locked, [&] { scanner->ledOn = on; });
}

TELO_API void telo_symbol_destroy(Symbol* symbol) {
    if (symbol == nullptr) {
        return;
    }
    std::free(symbol->text);
    std::free(symbol);
}

}  // extern "C"
