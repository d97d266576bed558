// Keyboard output through XTest, checked where a real X client receives it.

#include <gtest/gtest.h>

#include <QTextCodec>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <string>
#include <thread>

#include "keyboard/keyboard_text.h"
#include "keyboard/x11_keyboard.h"
#include "x11_receiver.h"

// Xlib's macros (None, Bool, Status) clash with Qt and GoogleTest, so it comes last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;

constexpr auto kArrivalTimeout = 20s;

std::vector<unsigned long> keysymsOf(const std::vector<ReceivedKey>& presses) {
    std::vector<unsigned long> keysyms;
    for (const ReceivedKey& key : presses) {
        keysyms.push_back(key.keysym);
    }
    return keysyms;
}

// Number of keycodes currently bound to keysym in the server's core mapping.
int keycodesBoundTo(KeySym keysym) {
    Display* display = openDisplay();
    int min = 0;
    int max = 0;
    XDisplayKeycodes(display, &min, &max);
    int perKeycode = 0;
    KeySym* map =
        XGetKeyboardMapping(display, static_cast<KeyCode>(min), max - min + 1, &perKeycode);
    int count = 0;
    for (int key = 0; key <= max - min; ++key) {
        const KeySym* first = map + key * perKeycode;
        count += std::find(first, first + perKeycode, keysym) != first + perKeycode ? 1 : 0;
    }
    XFree(map);
    XCloseDisplay(display);
    return count;
}

// setxkbmap is tried a few times, since its connection may be refused like any other.
bool setLayout(const char* arguments) {
    const std::string command = std::string("setxkbmap ") + arguments + " 2>/dev/null";
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (std::system(command.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

class X11Typing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(receiver_.ready()) << "no focused receiver window on DISPLAY";
        ASSERT_TRUE(keyboard_.isAvailable());
    }

    // Types utf8 through KeyboardText and returns what the receiver got once it is quiet.
    std::vector<ReceivedKey> type(const std::string& utf8, size_t expectedPresses) {
        const int32_t sent = KeyboardText(utf8.c_str()).send(keyboard_);
        EXPECT_EQ(sent, QString::fromUtf8(utf8.c_str()).size());
        receiver_.waitForPresses(expectedPresses, kArrivalTimeout);
        return receiver_.settle(100ms);
    }

    X11Receiver receiver_;
    X11Keyboard keyboard_;
};

TEST_F(X11Typing, AsciiArrivesAsTyped) {
    const std::string text = "Scan 0123456789 ABC xyz !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    EXPECT_EQ(X11Receiver::textOf(type(text, text.size())), text);
}

TEST_F(X11Typing, RepeatedCharactersArriveSeparatedByLeftAndRight) {
    const auto presses = type("aaab", 8);
    EXPECT_EQ(keysymsOf(presses), (std::vector<unsigned long>{XK_a, XK_Left, XK_Right, XK_a,
                                                              XK_Left, XK_Right, XK_a, XK_b}));
    EXPECT_EQ(X11Receiver::textOf(presses), "aaab");
}

TEST_F(X11Typing, CarriageReturnArrivesAsCharacter0x0D) {
    const auto presses = type("\r", 1);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].text, "\r");
}

TEST_F(X11Typing, EnterPressesAndReleasesReturn) {
    EXPECT_EQ(pressEnter(keyboard_), 1);
    const auto presses = receiver_.waitForPresses(1, kArrivalTimeout);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].keysym, static_cast<unsigned long>(XK_Return));
}

TEST_F(X11Typing, ChineseAndEmojiArriveUnderUtf8Locale) {
    const std::string text = "扫码枪中文😀ok";
    EXPECT_EQ(X11Receiver::textOf(type(text, 8)), text);
}

TEST_F(X11Typing, CharacterTheLayoutLacksIsTypedAndItsKeycodeGivenBack) {
    ASSERT_EQ(keycodesBoundTo(XK_eacute), 0);
    EXPECT_EQ(X11Receiver::textOf(type("café", 4)), "café");
    EXPECT_EQ(keycodesBoundTo(XK_eacute), 1);
    // The borrowed keycode is unbound by idle() once it has been unused long enough.
    keyboard_.idle();
    EXPECT_EQ(keycodesBoundTo(XK_eacute), 1);
    std::this_thread::sleep_for(600ms);
    keyboard_.idle();
    EXPECT_EQ(keycodesBoundTo(XK_eacute), 0);
    receiver_.clear();
    EXPECT_EQ(X11Receiver::textOf(type("é", 1)), "é");
}

TEST_F(X11Typing, TwoThousandMixedCharactersArriveCompleteAndInOrder) {
    // Fewer distinct characters outside the layout than Xvfb has spare keycodes (19).
    const std::u32string pieces[] = {U"Order-4711/", U"AAbb", U"条码中文", U"😀",
                                     U"ÄäÖöß",       U"  ",   U"€",        U"12.50;",
                                     U"Ω",           U"~|{}", U"café"};
    std::u32string text;
    for (size_t i = 0; text.size() < 2000; ++i) {
        text += pieces[i % std::size(pieces)];
    }
    text.resize(2000);
    const QString qtext = QString::fromUcs4(text.data(), static_cast<int>(text.size()));
    const QByteArray utf8 = qtext.toUtf8();
    KeyboardText keyboardText(utf8.constData());
    const size_t presses = text.size() + 2 * static_cast<size_t>(keyboardText.countRepeats());
    EXPECT_EQ(X11Receiver::textOf(type(utf8.toStdString(), presses)), utf8.toStdString());
}

TEST_F(X11Typing, MoreDistinctCharactersThanSpareKeycodesArriveRight) {
    std::u32string text;
    for (char32_t c = U'一'; text.size() < 50; c += 7) {
        text += c;
    }
    const QByteArray utf8 = QString::fromUcs4(text.data(), static_cast<int>(text.size())).toUtf8();
    EXPECT_EQ(X11Receiver::textOf(type(utf8.toStdString(), text.size())), utf8.toStdString());
}

TEST_F(X11Typing, TypesRightWhateverTheLayoutGroupAndLocks) {
    if (!setLayout("-layout us,ru")) {
        GTEST_SKIP() << "setxkbmap is not available";
    }
    Display* display = openDisplay();
    XkbLockGroup(display, XkbUseCoreKbd, 1);
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask);
    XSync(display, False);
    const std::string text = "Abc Привет Zz";
    const auto got = X11Receiver::textOf(type(text, 13));
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
    XkbLockGroup(display, XkbUseCoreKbd, 0);
    XCloseDisplay(display);
    setLayout("-layout us");
    EXPECT_EQ(got, text);
}

TEST_F(X11Typing, FollowsALayoutChangedWhileRunning) {
    EXPECT_EQ(X11Receiver::textOf(type("yz", 2)), "yz");
    if (!setLayout("-layout de")) {
        GTEST_SKIP() << "setxkbmap is not available";
    }
    receiver_.clear();
    const auto got = X11Receiver::textOf(type("yzäö", 4));
    setLayout("-layout us");
    EXPECT_EQ(got, "yzäö");
}

// Run without a usable display (none, or one without XTEST).
TEST(X11Unavailable, TypesNothingAndWarnsOnce) {
    testing::internal::CaptureStderr();
    X11Keyboard keyboard;
    EXPECT_FALSE(keyboard.isAvailable());
    EXPECT_EQ(KeyboardText("abc").send(keyboard), 0);
    EXPECT_EQ(KeyboardText("\r").send(keyboard), 0);
    EXPECT_EQ(pressEnter(keyboard), -1);
    keyboard.idle();
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_NE(warnings.find("Keyboard output is off"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("Keyboard output is off"), warnings.rfind("Keyboard output is off"));
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
