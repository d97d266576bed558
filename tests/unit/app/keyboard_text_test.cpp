// Keyboard output's platform-neutral half: the keystrokes of a text, and KeyboardText's and
// pressEnter's results.
#include "keyboard/keyboard_text.h"

#include <gtest/gtest.h>

#include <QString>
#include <QTextCodec>

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
        {"G\x1dR\x1e" "F\x1cU\x1f" "E\x04", "G^]R^^F^\\U^_E^d"},
        // Nothing of a code may delete, escape or move: those bytes are left out.
        {"B\x08" "D\x1b" "E\x7f" "F\x01" "G\xC2\x85" "H", "BDEFGH"},
    };
    for (const auto& row : table) {
        const QString text = QString::fromUtf8(row.utf8);
        EXPECT_EQ(render(keystrokesFor(std::u16string(
                      reinterpret_cast<const char16_t*>(text.utf16()), text.size()))),
                  row.strokes)
            << row.utf8;
    }
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

TEST_F(KeyboardTextTest, CountsRepeatsAndSendsTheLengthInUtf16Units) {
    EXPECT_EQ(KeyboardText("").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("aabb").countRepeats(), 2);
    EXPECT_EQ(KeyboardText("😀😀").countRepeats(), 0);
    EXPECT_EQ(KeyboardText("abc").send(keyboard_), 3);
    EXPECT_EQ(KeyboardText("中文").send(keyboard_), 2);  // six bytes
    EXPECT_EQ(KeyboardText("😀").send(keyboard_), 2);     // one character
    EXPECT_EQ(KeyboardText("\r\n").send(keyboard_), 2);   // one Return
    EXPECT_EQ(KeyboardText("").send(keyboard_), 0);
    EXPECT_EQ(KeyboardText(nullptr).send(keyboard_), 0);
}

TEST_F(KeyboardTextTest, BytesAreDecodedWithTheLocaleCodec) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    EXPECT_EQ(KeyboardText("caf\xE9").send(keyboard_), 4);
    ASSERT_EQ(Timeline::instance().events().size(), 1u);
    EXPECT_EQ(Timeline::instance().events()[0].what, "type:café");
}

TEST_F(KeyboardTextTest, UnusableKeyboardTypesNothing) {
    keyboard_.available = false;
    EXPECT_EQ(KeyboardText("abc").send(keyboard_), 0);
    EXPECT_TRUE(Timeline::instance().events().empty());
}

TEST_F(KeyboardTextTest, PressEnterReportsWhetherReturnWasTyped) {
    EXPECT_EQ(pressEnter(keyboard_), 1);
    keyboard_.acceptKeys = false;
    EXPECT_EQ(pressEnter(keyboard_), -1);
}

}  // namespace
