// SPDX-License-Identifier: MIT
// Codes longer than a physical symbol holds, 4,000 bytes, through the real worker thread and the
// real X11 keyboard into a focused X client, whole and in order.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "fake_telo.h"
#include "keyboard/keyboard_backend.h"
#include "keyboard/system_keyboard.h"
#include "scan_settings.h"
#include "text_receiver.h"
#include "thread.h"

namespace {

using namespace std::chrono_literals;

constexpr size_t kLongCodeBytes = 4000;
constexpr auto kTypingPatience = 60s;
// Longer than several worker cycles: a code typed again would show within it.
constexpr auto kQuiet = 1500ms;

// Printable ASCII without equal neighbours, so each byte is one key press.
std::string longCode() {
    const std::string alphabet =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-./:+$%*";
    std::string code;
    for (size_t i = 0; code.size() < kLongCodeBytes; ++i) {
        code += alphabet[(i * 7) % alphabet.size()];
    }
    return code;
}

class LongCodes : public ::testing::Test {
protected:
    void SetUp() override {
        fake_telo::reset();
        ASSERT_TRUE(receiver_.ready()) << "no focused receiver window on DISPLAY";
        ASSERT_TRUE(keyboard_->isAvailable());
        fake_telo::setPlugged(true);
    }
    void TearDown() override {
        worker_.reset();
        EXPECT_EQ(fake_telo::faults(), std::vector<std::string>{});
    }

    // Shows the code to the worker in the given mode and returns what the receiver got once no
    // key has arrived for a while.
    std::string typedFor(const std::string& code, bool singleMode) {
        // An interval far beyond the test: interval mode types the code once.
        settings_.setInterval(600000);
        settings_.setModes(singleMode, !singleMode);
        fake_telo::showCode(code);
        worker_ = std::make_unique<Thread>(settings_, *keyboard_);
        worker_->start();
        receiver_.waitForCharacters(code.size(), kTypingPatience);
        return receiver_.settle(kQuiet);
    }

    TextReceiver receiver_{TextReceiver::Toolkit::Xterm};
    std::unique_ptr<KeyboardBackend> keyboard_ = createSystemKeyboard();
    ScanSettings settings_;
    std::unique_ptr<Thread> worker_;
};

TEST_F(LongCodes, FourThousandBytesAreTypedWholeAndInOrderOnceInSingleMode) {
    EXPECT_EQ(typedFor(longCode(), true), longCode());
}

TEST_F(LongCodes, FourThousandBytesAreTypedWholeAndInOrderInIntervalMode) {
    EXPECT_EQ(typedFor(longCode(), false), longCode());
}

}  // namespace
