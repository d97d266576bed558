// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_UNIT_SDK_SCANNER_FIXTURE_H
#define OSTRELSCAN_TESTS_UNIT_SDK_SCANNER_FIXTURE_H

#include <chrono>
#include <string>
#include <thread>

#include "sim_fixture.h"
#include "telo.h"

/// The exported functions against the simulated scanner, as the application calls them.
class ScannerTest : public telosim::SimTest {
protected:
    /// Where the first frame's delay is not what a test is about, a short one keeps it quick.
    static constexpr const char* kQuickFirstFrameMs = "50";

    void TearDown() override {
        telo_scanner_destroy(scanner);
        SimTest::TearDown();
    }

    void plugScanner(telosim::Settings settings = {}) {
        settings.emplace("first_frame_ms", kQuickFirstFrameMs);
        tree.plug("scanner", telosim::DeviceKind::Scanner, settings);
    }
    /// Runs call() with what the library prints added to `output`; its result.
    template <typename Call>
    auto quietly(Call call) {
        testing::internal::CaptureStdout();
        auto result = call();
        output += testing::internal::GetCapturedStdout();
        return result;
    }
    Scanner* createQuietly() { return quietly(telo_scanner_create); }
    bool pollQuietly() {
        return quietly([this] { return telo_scanner_is_connect(scanner); });
    }
    /// One pass of the application's loop: a handle when there is none yet, a poll and, when
    /// connected, a decode. The decoded text, or empty; `waited` tells whether the decode waited
    /// in vain for a frame of a running stream.
    std::string pass(bool* waited = nullptr) {
        if (scanner == nullptr) {
            scanner = createQuietly();
        }
        if (scanner == nullptr || !pollQuietly()) {
            return {};
        }
        const std::size_t printedBefore = output.size();
        Symbol* symbol = quietly([this] { return telo_scanner_decode(scanner); });
        if (waited != nullptr) {
            *waited = output.find("hr = 0x80004004", printedBefore) != std::string::npos;
        }
        const std::string text = symbol != nullptr ? symbol->text : "";
        telo_symbol_destroy(symbol);
        return text;
    }
    /// Passes until `text` is decoded: how many it took, or limit + 1. Passes that waited in vain
    /// for a frame of a running stream do not count, up to a point: how soon frames come after
    /// a start is the machine's affair, not the library's.
    int passesUntil(const std::string& text, int limit) {
        int counted = 0;
        for (int passes = 0; passes < 4 * limit + 10 && counted <= limit; ++passes) {
            bool waited = false;
            if (pass(&waited) == text) {
                return counted + 1;
            }
            counted += waited ? 0 : 1;
        }
        return limit + 1;
    }
    /// Posts a request again while the control thread may still be in the pass of the previous
    /// one, which holds controlMutex to its end; true once it is taken.
    template <typename Post>
    static bool postedSoon(Post post) {
        for (int i = 0; i < 100; ++i) {
            if (post()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    void waitForWrites(std::size_t count) {
        for (int i = 0; i < 400 && tree.ledLog("scanner").size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    Scanner* scanner = nullptr;
    /// What the library printed in this test's polls and decodes.
    std::string output;
};

#endif
