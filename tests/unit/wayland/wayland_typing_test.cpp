// SPDX-License-Identifier: MIT
// Keyboard output through the compositor's virtual keyboard, where users see it: codes typed
// into native Wayland programs (a Qt 5 text edit and a GTK 3 text view) in a headless Sway,
// each checked for the exact text the program shows.
#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "keyboard/keyboard_text.h"
#include "keyboard/wayland_keyboard.h"
#include "sway_session.h"
#include "text_receiver.h"

namespace {

using namespace std::chrono_literals;
using Toolkit = TextReceiver::Toolkit;

// Typed after each code: once it has arrived, everything typed before it has.
const std::string kEnd = "0";

// length characters cycling through ASCII, Cyrillic, 300 distinct ideographs (more than one
// keymap holds) and emoji, with neighbours repeated now and then.
std::string mixed(size_t length) {
    std::u32string text;
    for (size_t i = 0; text.size() < length; ++i) {
        const char32_t c = i % 4 == 0   ? U'!' + i % 90
                           : i % 4 == 1 ? U'а' + i % 32
                           : i % 4 == 2 ? U'\u4E00' + 5 * (i % 300)
                                        : U'\U0001F600' + i % 40;
        text += c;
        if (i % 7 == 0) {
            text += c;
        }
    }
    text.resize(length);
    return QString::fromUcs4(text.data(), static_cast<int>(text.size())).toStdString();
}

struct Row {
    const char* name;
    std::string code;   // UTF-8
    std::string shown;  // what a text field shows
};

const Row kRows[] = {
    {"Ascii", "Scan Me 0815 abc /*-+~{}", "Scan Me 0815 abc /*-+~{}"},
    {"Repeats", "aa 0001112 bb", "aa 0001112 bb"},
    {"Chinese", "条码扫描枪，中文！", "条码扫描枪，中文！"},
    {"Emoji", "ok 😀👍🏽 ✓", "ok 😀👍🏽 ✓"},
    // Line breaks and Tab are keys; separators are Ctrl chords, which text fields leave out;
    // editing bytes are dropped.
    {"ControlBytes", "L1\nL2\r\nT\tG\035R\036E\004B\010X\033", "L1\nL2\nT\tGREBX"},
    {"Mixed2000", mixed(2000), mixed(2000)},
};

class VirtualKeyboardTyping : public ::testing::TestWithParam<std::tuple<Toolkit, size_t>> {
protected:
    // The keyboard exists before any receiver: a client that starts while the seat has no
    // keyboard gets none.
    static void SetUpTestSuite() {
        session_ = std::make_unique<SwaySession>();
        session_->enter();
        std::string whyNot;
        keyboard_ = WaylandKeyboard::connect(whyNot);
        ASSERT_TRUE(keyboard_) << whyNot;
    }
    static void TearDownTestSuite() {
        receiver_.reset();
        keyboard_.reset();
        session_.reset();
    }
    static TextReceiver& receiverFor(Toolkit toolkit) {
        if (!receiver_ || receiver_->toolkit() != toolkit) {
            receiver_.reset();
            receiver_ = std::make_unique<TextReceiver>(toolkit, session_.get());
        }
        return *receiver_;
    }

    static inline std::unique_ptr<SwaySession> session_;
    static inline std::unique_ptr<WaylandKeyboard> keyboard_;
    static inline std::unique_ptr<TextReceiver> receiver_;
};

TEST_P(VirtualKeyboardTyping, TheProgramShowsExactlyTheCode) {
    const auto [toolkit, index] = GetParam();
    const Row& row = kRows[index];
    ASSERT_TRUE(session_->ready()) << "sway did not start";
    TextReceiver& receiver = receiverFor(toolkit);
    ASSERT_TRUE(receiver.ready()) << "the receiver did not come up with the focus";
    receiver.clear();
    EXPECT_EQ(KeyboardText(row.code.c_str()).send(*keyboard_),
              QString::fromStdString(row.code).size());
    KeyboardText(kEnd.c_str()).send(*keyboard_);
    const std::string expected = row.shown + kEnd;
    const size_t characters = static_cast<size_t>(QString::fromStdString(expected).toUcs4().size());
    EXPECT_EQ(receiver.waitForCharacters(characters, 300s), expected);
}

std::string rowName(const ::testing::TestParamInfo<VirtualKeyboardTyping::ParamType>& info) {
    const auto [toolkit, index] = info.param;
    return std::string(toolkit == Toolkit::Qt ? "Qt_" : "Gtk_") + kRows[index].name;
}

// Every row in Qt; GTK's text view lays out a long mixed text too slowly (minutes for 2,000
// characters), so it takes the short ones.
std::vector<std::tuple<Toolkit, size_t>> cases() {
    std::vector<std::tuple<Toolkit, size_t>> all;
    for (const Toolkit toolkit : {Toolkit::Qt, Toolkit::Gtk}) {
        for (size_t i = 0; i < std::size(kRows); ++i) {
            if (toolkit == Toolkit::Qt || kRows[i].code.size() < 100) {
                all.emplace_back(toolkit, i);
            }
        }
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(Receivers, VirtualKeyboardTyping, ::testing::ValuesIn(cases()), rowName);

}  // namespace
