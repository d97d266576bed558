// SPDX-License-Identifier: MIT
// Keyboard output's platform-neutral half: what KeyboardText and pressEnter report when keys
// cannot be typed. The keystrokes themselves are checked where programs receive them.
#include "keyboard/keyboard_text.h"

#include <gtest/gtest.h>

#include <string>

#include "recording_keyboard.h"
#include "timeline.h"

namespace {

TEST(KeyboardText, KeystrokesNotTypedAreReportedAndNothingIsTypedWithoutAKeyboard) {
    RecordingKeyboard keyboard;
    EXPECT_EQ(KeyboardText("").send(keyboard), 0);
    EXPECT_EQ(KeyboardText(nullptr).send(keyboard), 0);
    EXPECT_EQ(pressEnter(keyboard), 1);
    keyboard.acceptKeys = false;
    EXPECT_EQ(pressEnter(keyboard), -1);
    testing::internal::CaptureStderr();
    KeyboardText("a\tb").send(keyboard);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("1 of 3 keystrokes could not be typed"),
              std::string::npos);
    keyboard.available = false;
    Timeline::instance().clear();
    EXPECT_EQ(KeyboardText("abc").send(keyboard), 0);
    EXPECT_TRUE(steps().empty());
}

}  // namespace
