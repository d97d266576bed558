// Keyboard output's platform-neutral half: the keystrokes of a text, and KeyboardText's and
// pressEnter's results.
#include "keyboard/keyboard_text.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>

#include "keyboard/keystrokes.h"
#include "recording_keyboard.h"
#include "timeline.h"

namespace {

// Characters as themselves, control chords as "^" and the character, keys as "<Name>".
std::string render(const std::vector<Keystroke>& strokes) {
    std::string out;
    for (const Keystroke& stroke : strokes) {
        const std::string c = QString::fromUcs4(&stroke.character, 1).toStdString();
        switch (stroke.kind) {
            case Keystroke::Kind::Character:
                out += c;
                break;
            case Keystroke::Kind::Control:
                out += "^" + c;
                break;
            case Keystroke::Kind::Key:
                const char* names[] = {"<Left>", "<Right>", "<Return>", "<Tab>"};
                out += names[static_cast<int>(stroke.key)];
                break;
        }
    }
    return out;
}

TEST(Keystrokes, CharactersSeparatorsAndTheControlCharacterPolicy) {
    const struct {
        const char* utf8;
        const char* strokes;
    } table[] = {
        {"ab", "ab"},
        {"aa", "a<Left><Right>a"},
        {"aaa", "a<Left><Right>a<Left><Right>a"},
        {"aba", "aba"},
        {"中中", "中<Left><Right>中"},
        // The two units of a surrogate pair differ, so equal emoji get no separator.
        {"😀😀", "😀😀"},
        {"\r", "<Return>"},
        {"L1\nL2", "L1<Return>L2"},
        {"L1\r\nL2\r\n", "L1<Return>L2<Return>"},
        {"\n\r", "<Return><Return>"},
        {"\n\n", "<Return><Left><Right><Return>"},
        {"A\tB", "A<Tab>B"},
        {"G\035R\036F\034U\037E\004", "G^]R^^F^\\U^_E^d"},
        // Nothing of a code may delete, escape or move: those bytes are left out.
        {"B\010D\033E\177F\001G\302\205H", "BDEFGH"},
    };
    for (const auto& row : table) {
        const QString text = QString::fromUtf8(row.utf8);
        EXPECT_EQ(render(keystrokesFor(std::u16string(
                      reinterpret_cast<const char16_t*>(text.utf16()), text.size()))),
                  row.strokes)
            << row.utf8;
    }
}

TEST(KeyboardText, CountsRepeatsAndSendsTheLengthInUtf16Units) {
    RecordingKeyboard keyboard;
    EXPECT_EQ(KeyboardText("").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("aabb").countRepeats(), 2);
    EXPECT_EQ(KeyboardText("😀😀").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("abc").send(keyboard), 3);
    EXPECT_EQ(KeyboardText("中文").send(keyboard), 2);  // six bytes
    EXPECT_EQ(KeyboardText("😀").send(keyboard), 2);     // one character
    EXPECT_EQ(KeyboardText("\r\n").send(keyboard), 2);  // one Return
    EXPECT_EQ(KeyboardText("").send(keyboard), 0);
    EXPECT_EQ(KeyboardText(nullptr).send(keyboard), 0);
}

TEST(KeyboardText, KeystrokesNotTypedAreReportedAndNothingIsTypedWithoutAKeyboard) {
    RecordingKeyboard keyboard;
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
