// KeyboardText and pressEnter: the event sequences they inject, and their results.

#include "keyboard/keyboard_text.h"

#include <gtest/gtest.h>

#include <QTextCodec>

#include <string>
#include <vector>

#include "recording_keyboard.h"
#include "timeline.h"

namespace {

using Strings = std::vector<std::string>;

Strings recorded() {
    Strings whats;
    for (const TimelineEvent& e : Timeline::instance().events()) {
        whats.push_back(e.what);
    }
    return whats;
}

class KeyboardTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        Timeline::instance().clear();
    }
    void TearDown() override { QTextCodec::setCodecForLocale(saved_); }

    RecordingKeyboard keyboard_;
    QTextCodec* saved_ = nullptr;
};

struct Sequence {
    const char* text;
    Strings events;
};

TEST_F(KeyboardTextTest, InjectsOneCharacterEventPerUnitWithSeparatorsBetweenEqualNeighbours) {
    const Strings separator = {"Left down", "Left up", "Right down", "Right up"};
    auto join = [](std::initializer_list<Strings> parts) {
        Strings all;
        for (const Strings& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    const Sequence table[] = {
        {"ab", {"type:ab"}},
        {"aa", join({{"type:a"}, separator, {"type:a"}})},
        {"aaa", join({{"type:a"}, separator, {"type:a"}, separator, {"type:a"}})},
        {"aba", {"type:aba"}},
        {"\r", {"type:\r"}},
        {"x\r\r", join({{"type:x\r"}, separator, {"type:\r"}})},
        {"中中", join({{"type:中"}, separator, {"type:中"}})},
        // The two units of a surrogate pair differ, so equal emoji get no separator.
        {"😀😀", {"type:😀😀"}},
    };
    for (const Sequence& row : table) {
        Timeline::instance().clear();
        KeyboardText(row.text).send(keyboard_);
        EXPECT_EQ(recorded(), row.events) << row.text;
    }
}

TEST_F(KeyboardTextTest, CountsNeighbouringRepeatsOfUtf16Units) {
    EXPECT_EQ(KeyboardText("").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("a").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("aa").countRepeats(), 1);
    EXPECT_EQ(KeyboardText("aaa").countRepeats(), 2);
    EXPECT_EQ(KeyboardText("aba").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("aabb").countRepeats(), 2);
    EXPECT_EQ(KeyboardText("😀😀").countRepeats(), 0);
}

TEST_F(KeyboardTextTest, SendReturnsTheLengthInUtf16Units) {
    EXPECT_EQ(KeyboardText("abc").send(keyboard_), 3);
    EXPECT_EQ(KeyboardText("中文").send(keyboard_), 2);  // six bytes
    EXPECT_EQ(KeyboardText("😀").send(keyboard_), 2);     // one character
    EXPECT_EQ(KeyboardText("\r").send(keyboard_), 1);
}

TEST_F(KeyboardTextTest, EmptyOrNullTextSendsNothing) {
    EXPECT_EQ(KeyboardText("").send(keyboard_), 0);
    EXPECT_EQ(KeyboardText(nullptr).send(keyboard_), 0);
    EXPECT_TRUE(recorded().empty());
}

TEST_F(KeyboardTextTest, BytesAreDecodedWithTheLocaleCodec) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    EXPECT_EQ(KeyboardText("caf\xE9").send(keyboard_), 4);
    EXPECT_EQ(recorded(), Strings{"type:café"});
}

TEST_F(KeyboardTextTest, UnusableKeyboardTypesNothing) {
    keyboard_.available = false;
    EXPECT_EQ(KeyboardText("abc").send(keyboard_), 0);
    EXPECT_TRUE(recorded().empty());
}

TEST_F(KeyboardTextTest, PressEnterPressesAndReleasesReturn) {
    EXPECT_EQ(pressEnter(keyboard_), 1);
    EXPECT_EQ(recorded(), (Strings{"Return down", "Return up"}));
}

TEST_F(KeyboardTextTest, PressEnterReportsARefusedRelease) {
    keyboard_.acceptKeys = false;
    EXPECT_EQ(pressEnter(keyboard_), -1);
}

}  // namespace
