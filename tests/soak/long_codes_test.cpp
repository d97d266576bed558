// Codes no physical symbol holds, through the real worker thread and the real X11 keyboard
// into a focused X client: 4,000 bytes, NUL and control bytes, bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <clocale>
#include <memory>
#include <string>

#include "fake_telo.h"
#include "keyboard/keyboard_backend.h"
#include "keyboard/system_keyboard.h"
#include "scan_settings.h"
#include "thread.h"
#include "x11_receiver.h"

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
        EXPECT_EQ(fake_telo::liveHandles(), 0);
        EXPECT_EQ(fake_telo::liveSymbols(), 0);
        EXPECT_EQ(fake_telo::faults(), std::vector<std::string>{});
    }

    // Shows bytes to the worker in the given mode and returns what the receiver got once no
    // key has arrived for a while.
    std::string typedFor(const std::string& bytes, bool singleMode, size_t expectedPresses) {
        // An interval far beyond the test: interval mode types the code once.
        settings_.setInterval(600000);
        settings_.setModes(singleMode, !singleMode);
        fake_telo::showCode(bytes);
        worker_ = std::make_unique<Thread>(settings_, *keyboard_);
        worker_->start();
        receiver_.waitForPresses(expectedPresses, kTypingPatience);
        return X11Receiver::textOf(receiver_.settle(kQuiet));
    }

    X11Receiver receiver_;
    std::unique_ptr<KeyboardBackend> keyboard_ = createSystemKeyboard();
    ScanSettings settings_;
    std::unique_ptr<Thread> worker_;
};

TEST_F(LongCodes, FourThousandBytesAreTypedWholeAndInOrderOnceInSingleMode) {
    const std::string code = longCode();
    EXPECT_EQ(typedFor(code, true, code.size()), code);
}

TEST_F(LongCodes, FourThousandBytesAreTypedWholeAndInOrderInIntervalMode) {
    const std::string code = longCode();
    EXPECT_EQ(typedFor(code, false, code.size()), code);
}

TEST_F(LongCodes, TheCodeEndsAtItsFirstNulByte) {
    EXPECT_EQ(typedFor(std::string("AB\0CD", 5), true, 2), "AB");
}

TEST_F(LongCodes, ControlBytesFollowThePolicyAndNoneEditsTheText) {
    EXPECT_EQ(typedFor("a\tb\001c\033d\037", true, 6), "a\tbcd\037");
}

TEST_F(LongCodes, BytesNoEncodingReadsAreTypedAsLatin1WithoutControlCharacters) {
    EXPECT_EQ(typedFor("A\377B\303(C\342\202", true, 7), "A\303\277B\303\203(C\303\242");
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
