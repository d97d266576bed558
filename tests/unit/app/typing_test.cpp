// SPDX-License-Identifier: MIT
// Keyboard output where users see it: codes typed through the X11 back end into the programs
// people type into (a Qt 5 text edit, a GTK 3 text view and xterm), under
// several layouts, lock states and modifier keys held by the user, each checked for the exact
// text the program shows.
#include <gtest/gtest.h>

#include <QString>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "code_text.h"
#include "keyboard/keyboard_text.h"
#include "keyboard/x11_keyboard.h"
#include "text_receiver.h"
#include "wait_until.h"

// Xlib's macros (None, Bool, Status) clash with Qt and GoogleTest, so it comes last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

using namespace std::chrono_literals;
using Toolkit = TextReceiver::Toolkit;

constexpr auto kArrival = 20s;
constexpr auto kLocksBack = 10s;
constexpr auto kHeldFor = 300ms;
constexpr unsigned kCapsLock = LockMask;
constexpr unsigned kNumLock = Mod2Mask;
constexpr int32_t kCode128 = 7;
// Typed after each code: once it has arrived, everything typed before it has.
const std::string kEnd = "0";

struct Row {
    const char* name;
    const char* layout;  // as setxkbmap takes it
    int group;
    unsigned locks;  // locked when the code arrives
    KeySym held;     // a modifier key the user holds when the code arrives, or NoSymbol
    std::string code;
    // What a text field shows, when not the code itself: "\n" for Return, a control
    // character for a Ctrl chord.
    std::string shown = {};
    int32_t symbology = kQrCodeSymbology;
};

// count distinct ideographs, each repeated, more than the free keys of Xvfb's layout hold.
std::string ideographs(size_t count, size_t rounds) {
    std::u32string text;
    for (size_t round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < count; ++i) {
            text += static_cast<char32_t>(U'\u4E00' + 7 * i);
        }
    }
    return QString::fromUcs4(text.data(), static_cast<int>(text.size())).toStdString();
}

const Row kRows[] = {
    {"Latin", "us", 0, kCapsLock | kNumLock, NoSymbol, "Scan Me 0815 abc +-*/"},
    {"OtherScripts", "us", 0, kCapsLock, NoSymbol, "привет Мир Ωω αβγ ąĄłŁ żółć ÿŸ"},
    {"ShiftHeld", "us", 0, 0, XK_Shift_L, "abc ABC 1!"},
    {"CtrlHeld", "us", 0, 0, XK_Control_L, "xcva"},
    {"LineBreaksAndTab", "us", 0, 0, NoSymbol, "L1\nL2\r\nL3\tT\r", "L1\nL2\nL3\tT\n"},
    {"Separators", "us", 0, 0, NoSymbol, "G\035S\036R\034F\037U\004E", {}, kCode128},
    {"EditingBytes", "us", 0, 0, NoSymbol, "B\010D\033E\177X", "BDEX", kCode128},
    {"Gb18030", "us", 0, 0, NoSymbol, "\314\365\302\353\311\250\303\350\307\271", "条码扫描枪"},
    {"ShiftJis", "us", 0, 0, NoSymbol, "\223\372\226{\214\352\202\314\203e\203L\203X\203g",
     "日本語のテキスト"},
    {"Latin1", "us", 0, 0, NoSymbol, "M\374ller caf\351", "Müller café", kCode128},
    {"ManyIdeographs", "us", 0, 0, NoSymbol, ideographs(100, 2)},
    {"German", "de", 0, kCapsLock, NoSymbol, "yz äöüß ÄÖÜ {[]}@€"},
    {"French", "fr", 0, 0, NoSymbol, "azerty 1234567890 éèàç @#"},
    {"Russian", "ru", 0, kNumLock, NoSymbol, "Привет, world! 123 ёЁ"},
    {"SecondGroup", "us,ru", 1, kNumLock, NoSymbol, "Abc Привет"},
    {"Chinese", "cn", 0, 0, NoSymbol, "扫码 ok"},
};

// What toolkit shows of a text field's text: the terminal gets Return as "\r";
// text fields insert no control characters.
std::string shownBy(Toolkit toolkit, const std::string& shown) {
    const bool terminal = toolkit == Toolkit::Xterm;
    std::string result;
    for (const char c : shown) {
        if (c == '\n' && terminal) {
            result += '\r';
        } else if (terminal || c == '\n' || c == '\t' || static_cast<unsigned char>(c) >= 0x20) {
            result += c;
        }
    }
    return result;
}

const char* const kToolkitNames[] = {"Qt", "Gtk", "Xterm"};  // in Toolkit's order

/// The user's side of the X server: layout, locks, held keys and key presses of their own.
class User {
public:
    User() : display_(openDisplay()) {}
    ~User() { XCloseDisplay(display_); }

    bool setLayout(const char* layout, int group) {
        if (layout_ != layout) {
            const std::string command = std::string("setxkbmap -layout ") + layout + " 2>/dev/null";
            bool set = false;
            for (int attempt = 0; attempt < 5 && !set; ++attempt) {
                set = std::system(command.c_str()) == 0;
            }
            if (!set) {
                return false;
            }
            layout_ = layout;
        }
        XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(group));
        XSync(display_, False);
        return true;
    }
    void setLocks(unsigned locks) {
        XkbLockModifiers(display_, XkbUseCoreKbd, kCapsLock | kNumLock, locks);
        XSync(display_, False);
    }
    unsigned locks() const {
        XkbStateRec state{};
        XkbGetState(display_, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }
    void key(KeySym keysym, bool down) { key(XKeysymToKeycode(display_, keysym), down); }
    void key(KeyCode keycode, bool down) {
        XTestFakeKeyEvent(display_, keycode, down ? True : False, 0);
        XSync(display_, False);
    }

private:
    Display* display_;
    std::string layout_ = "us";
};

// The receiver of the toolkit under test; one at a time, kept from one row to the next.
TextReceiver& receiverFor(Toolkit toolkit) {
    static std::unique_ptr<TextReceiver> receiver;
    if (!receiver || receiver->toolkit() != toolkit) {
        receiver.reset();
        receiver = std::make_unique<TextReceiver>(toolkit);
    }
    return *receiver;
}

class Typing : public ::testing::TestWithParam<std::tuple<Toolkit, size_t>> {
protected:
    static X11Keyboard& keyboard() {
        static X11Keyboard keyboard;
        return keyboard;
    }
    static User& user() {
        static User user;
        return user;
    }
    static void type(const std::string& bytes, int32_t symbology) {
        KeyboardText(codeText(bytes.c_str(), symbology).toLocal8Bit().constData()).send(keyboard());
    }
};

TEST_P(Typing, TheProgramShowsExactlyTheCode) {
    const auto [toolkit, index] = GetParam();
    const Row& row = kRows[index];
    TextReceiver& receiver = receiverFor(toolkit);
    ASSERT_TRUE(receiver.ready()) << "the receiver did not come up with the focus";
    ASSERT_TRUE(keyboard().isAvailable());
    ASSERT_TRUE(user().setLayout(row.layout, row.group)) << "setxkbmap failed";
    user().setLocks(row.locks);
    receiver.clear();

    if (row.held != NoSymbol) {
        // The code arrives while the user holds the key and is typed once they let go.
        user().key(row.held, true);
        std::thread scan([&] { type(row.code, row.symbology); });
        std::this_thread::sleep_for(kHeldFor);
        user().key(row.held, false);
        scan.join();
    } else {
        type(row.code, row.symbology);
    }
    type(kEnd, kQrCodeSymbology);
    std::string expected = shownBy(toolkit, row.shown.empty() ? row.code : row.shown) + kEnd;

    // The locks come back, and the user's own keys follow them in the program.
    EXPECT_TRUE(waitUntil(
        [&] {
            keyboard().idle();
            return user().locks() == row.locks;
        },
        kLocksBack))
        << "locks restored";
    if ((row.locks & kCapsLock) != 0) {
        constexpr KeyCode kKeyA = 38;  // "a" on the US and German layouts
        user().key(kKeyA, true);
        user().key(kKeyA, false);
        expected += "A";
    }
    user().setLocks(0);

    // Once as many characters as expected have come, one missing or one too many shows.
    EXPECT_EQ(
        receiver.waitForCharacters(QString::fromStdString(expected).toUcs4().size(), kArrival),
        expected);
}

std::string rowName(const ::testing::TestParamInfo<Typing::ParamType>& info) {
    const auto [toolkit, index] = info.param;
    return std::string(kToolkitNames[static_cast<int>(toolkit)]) + "_" + kRows[index].name;
}

INSTANTIATE_TEST_SUITE_P(Receivers, Typing,
                         ::testing::Combine(::testing::Values(Toolkit::Qt, Toolkit::Gtk,
                                                              Toolkit::Xterm),
                                            ::testing::Range<size_t>(0, std::size(kRows))),
                         rowName);

// Keycodes that carry symbols in the core keyboard's keymap.
int boundKeycodes() {
    Display* display = openDisplay();
    XkbDescPtr desc = XkbGetMap(display, XkbKeySymsMask, XkbUseCoreKbd);
    int bound = 0;
    for (int keycode = desc->min_key_code; keycode <= desc->max_key_code; ++keycode) {
        bound += XkbKeyNumGroups(desc, keycode) > 0 ? 1 : 0;
    }
    XkbFreeKeyboard(desc, 0, True);
    XCloseDisplay(display);
    return bound;
}

TEST(X11Keyboard, GivesBackTheKeysItBoundOnceTheyAreIdle) {
    X11Keyboard keyboard;
    const int before = boundKeycodes();
    KeyboardText("Ωω ął 条码").send(keyboard);
    EXPECT_GT(boundKeycodes(), before);
    EXPECT_TRUE(waitUntil(
        [&] {
            keyboard.idle();
            return boundKeycodes() == before;
        },
        kLocksBack));
}

// Run without a usable display (none, or one without XTEST).
TEST(X11Unavailable, TypesNothingAndWarnsOnce) {
    testing::internal::CaptureStderr();
    X11Keyboard keyboard;
    EXPECT_FALSE(keyboard.isAvailable());
    EXPECT_EQ(KeyboardText("abc").send(keyboard), 0);
    EXPECT_EQ(pressEnter(keyboard), -1);
    keyboard.idle();
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_NE(warnings.find("Keyboard output is off"), std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("Keyboard output is off"), warnings.rfind("Keyboard output is off"));
}

}  // namespace
