// SPDX-License-Identifier: MIT
// The exported interface: handle life, LED and beeper requests, decoding and results. No C++
// exception leaves it: a failure is the function's null or false result and a line saying why.
#include "scanner.h"

#include <chrono>
#include <cstdlib>
#include <exception>
#include <new>
#include <thread>

#include "decode/frame_decoder.h"
#include "engine_settings_file.h"
#include "print_message.h"
#include "scanner_identity.h"

static_assert(sizeof(bool) == 1, "booleans cross the interface as one byte");

namespace {

constexpr const char* kEngineSettingsPath = "etc/qr_balance.json";
constexpr auto kNoScannerPause = std::chrono::milliseconds(100);

template <typename Result, typename Body>
Result Guarded(const char* function, Result failure, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& exception) {
        telo::PrintMessage("%s failed: %s\n", function, exception.what());
    } catch (...) {
        telo::PrintMessage("%s failed\n", function);
    }
    return failure;
}

Scanner* createScanner() {
    std::unique_ptr<Scanner> scanner(new (std::nothrow) Scanner);
    if (!scanner) {
        telo::PrintMessage("malloc error\n");
        return nullptr;
    }
    if (scanner->monitor.DiscoverScanner(telo::kScannerVendorId, telo::kScannerProductId) < 0) {
        std::this_thread::sleep_for(kNoScannerPause);
        return nullptr;
    }
    scanner->engine = telo::engine::BarcodeEngine::create();
    if (!scanner->engine) {
        telo::PrintMessage("crt_ins error\n");
        return nullptr;
    }
    telo::PrintMessage("Version: SECV1.2.05\n");
    std::string errorText;
    if (scanner->engine->loadSettingsFromFile(telo::engineSettingsFile(kEngineSettingsPath).c_str(),
                                              errorText) != 0 ||
        scanner->requests.start() < 0) {
        return nullptr;
    }
    return scanner.release();
}

}  // namespace

extern "C" {

TELO_API Scanner* telo_scanner_create(void) {
    return Guarded("telo_scanner_create", static_cast<Scanner*>(nullptr), createScanner);
}

TELO_API void telo_scanner_destroy(Scanner* scanner) {
    // The control thread and the frame thread end before the handle goes.
    delete scanner;
}

TELO_API bool telo_scanner_is_connect(Scanner* scanner) {
    return Guarded("telo_scanner_is_connect", false,
                   [&] { return scanner->monitor.PollConnection() >= 0; });
}

TELO_API Symbol* telo_scanner_decode(Scanner* scanner) {
    return Guarded("telo_scanner_decode", static_cast<Symbol*>(nullptr), [&]() -> Symbol* {
        const std::uint8_t* frame = telo::FetchFrame(*scanner);
        if (frame == nullptr) {
            telo::PrintMessage("NULL Frame\n");
            return nullptr;
        }
        const telo::CCameraDS& camera = scanner->camera;
        return telo::decodeFrame(*scanner->engine, scanner->engineMutex, frame, camera.bufferSize(),
                                 camera.width(), camera.height());
    });
}

TELO_API bool telo_scanner_add_type(Scanner* scanner, int32_t index, bool enable) {
    return Guarded("telo_scanner_add_type", false, [&] {
        return telo::addSymbologyType(*scanner->engine, scanner->engineMutex, index, enable);
    });
}

TELO_API bool telo_scanner_beep(Scanner* scanner, int32_t milliseconds) {
    return Guarded("telo_scanner_beep", false,
                   [&] { return scanner->requests.postBeep(milliseconds); });
}

TELO_API bool telo_scanner_led(Scanner* scanner, bool on) {
    return Guarded("telo_scanner_led", false, [&] { return scanner->requests.postLed(on); });
}

TELO_API void telo_symbol_destroy(Symbol* symbol) {
    if (symbol == nullptr) {
        return;
    }
    std::free(symbol->text);
    std::free(symbol);
}

}  // extern "C"
