// SPDX-License-Identifier: MIT
// Keyboard output through a uinput device, seen at the system-call boundary: the key events
// written to a fake /dev/uinput are replayed through xkbcommon with the keymap the compositor
// reads them with, and must make exactly the text, for the system's keyboard configuration and
// for XWayland's layout, group and locks. Also which back end a session gets.
#include <gtest/gtest.h>

#include <QString>

#include <X11/XKBlib.h>
#include <X11/extensions/Xfixes.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "keyboard/keyboard_text.h"
#include "keyboard/system_keyboard.h"
#include "keyboard/uinput_keyboard.h"
#include "keyboard/x11_keyboard.h"
#include "uinput_fake.h"
#include "wait_until.h"

namespace {

constexpr xkb_keycode_t kEvdevOffset = 8;

struct Row {
    const char* name;
    const char* layout;  // XKBLAYOUT of the system's configuration, or setxkbmap's -layout
    bool fromX;          // the layout is the X server's, as XWayland has it
    unsigned group;
    bool capsLock;  // on the LEDs, or the X server's lock
    std::string code;
    std::string made;      // the text the keys make; keys without a character as <Left>, <Right>
    bool lacking = false;  // the layout lacks a character of the code
};

const Row kRows[] = {
    {"Us", "us", false, 0, false, "Scan Me, 0815 /*-+ ~{}", "Scan Me, 0815 /*-+ ~{}"},
    {"UsCapsLock", "us", false, 0, true, "Scan Me 42 aA", "Scan Me 42 aA"},
    {"Repeats", "us", false, 0, false, "aa 11", "a<Left><Right>a 1<Left><Right>1"},
    {"ControlBytes", "us", false, 0, false, "L1\r\nT\tG\035R\036E\004", "L1\rT\tG\035R\036E\004"},
    // Each line break is one Return; nothing of a code may delete, escape or move.
    {"LineBreaksAndEditing", "us", false, 0, false, "\n\rA\n\nB\010D\033E\177F\001G\302\205H",
     "\r\rA\r<Left><Right>\rBDEFGH"},
    {"German", "de", false, 0, false, "yz äöüß ÄÖÜ {[]}@€ µ|", "yz äöüß ÄÖÜ {[]}@€ µ|"},
    {"GermanControlBytes", "de", false, 0, false, "G\035F\034", "G\035F\034"},
    {"French", "fr", false, 0, false, "azerty 1234567890 éèàçù @#", "azerty 1234567890 éèàçù @#"},
    {"Russian", "ru", false, 0, false, "Привет, мир! 123 ёЁ", "Привет, мир! 123 ёЁ"},
    {"GermanFromX", "de", true, 0, true, "yz äöü ÄÖÜ @€", "yz äöü ÄÖÜ @€"},
    {"SecondGroupFromX", "us,ru", true, 1, false, "Мир, 123", "Мир, 123"},
    {"LayoutLacks", "de", false, 0, false, "a条b", "ab", true},
    {"LayoutLacksFromX", "us", true, 0, true, "Ok 扫码 条条码 ok\tZ€", "Ok 扫码 条条码 ok\tZ€",
     true},
};

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;

// The keymap the compositor has: the X server's, or the one the configuration names.
KeymapPtr compositorKeymap(xkb_context* context, const Row& row) {
    if (row.fromX) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        xkb_x11_setup_xkb_extension(connection, 1, 0, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr,
                                    nullptr, nullptr, nullptr);
        KeymapPtr keymap(xkb_x11_keymap_new_from_device(
            context, connection, xkb_x11_get_core_keyboard_device_id(connection),
            XKB_KEYMAP_COMPILE_NO_FLAGS));
        xcb_disconnect(connection);
        return keymap;
    }
    const xkb_rule_names names = {nullptr, nullptr, row.layout, nullptr, nullptr};
    return KeymapPtr(xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

// The compositor's side of XWayland's clipboard, as GNOME's and KDE's work: it asks every new
// owner of the clipboard what it holds, and fetches the text when a program pastes, here when
// the device presses Insert.
class ClipboardBridge {
public:
    ClipboardBridge() : display_(XOpenDisplay(nullptr)) {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        int error = 0;
        XFixesQueryExtension(display_, &fixesEvent_, &error);
        XFixesSelectSelectionInput(display_, window_, clipboard_,
                                   XFixesSetSelectionOwnerNotifyMask);
        fake_uinput::watch([this](const input_event& event) {
            pastes_ += event.code == KEY_INSERT && event.value == 1 ? 1 : 0;
        });
        thread_ = std::thread([this] { run(); });
    }
    ~ClipboardBridge() {
        stop_ = true;
        thread_.join();
        fake_uinput::watch({});
        XCloseDisplay(display_);
    }
    std::vector<std::string> fetched() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return fetched_;
    }

private:
    void run() {
        while (!stop_) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                const auto& owner = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
                if (event.type == fixesEvent_ + XFixesSelectionNotify && owner.owner != None) {
                    XConvertSelection(display_, clipboard_, targets_, property_, window_,
                                      owner.selection_timestamp);
                } else if (event.type == SelectionNotify && event.xselection.target == utf8_) {
                    keep(event.xselection.property);
                }
            }
            if (pastes_ > 0) {
                --pastes_;
                XConvertSelection(display_, clipboard_, utf8_, property_, window_, CurrentTime);
            }
            XFlush(display_);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    void keep(Atom property) {
        Atom type = None;
        int format = 0;
        unsigned long length = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, window_, property, 0, 1 << 16, True, AnyPropertyType, &type,
                           &format, &length, &after, &data);
        const std::lock_guard<std::mutex> lock(mutex_);
        fetched_.emplace_back(data != nullptr ? reinterpret_cast<const char*>(data) : "", length);
        XFree(data);
    }

    Display* display_;
    Window window_ = None;
    int fixesEvent_ = 0;
    const Atom clipboard_ = XInternAtom(display_, "CLIPBOARD", False);
    const Atom targets_ = XInternAtom(display_, "TARGETS", False);
    const Atom utf8_ = XInternAtom(display_, "UTF8_STRING", False);
    const Atom property_ = XInternAtom(display_, "BRIDGED", False);
    std::atomic<int> pastes_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> fetched_;
    std::thread thread_;
};

// What the device's key events make in a keyboard state with the row's group and locks, as
// a client shows it, with Shift+Insert pasting the next of pasted; false in allReleased when a
// key or modifier is left down.
std::string replay(xkb_keymap* keymap, const Row& row, const std::vector<std::string>& pasted,
                   bool& allReleased) {
    size_t pastes = 0;
    xkb_state* state = xkb_state_new(keymap);
    const xkb_mod_mask_t lock = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CAPS);
    xkb_state_update_mask(state, 0, 0, row.capsLock ? lock : 0, 0, 0, row.group);
    std::u32string made;
    std::string named;
    int down = 0;
    for (const input_event& event : fake_uinput::device().events) {
        if (event.type != EV_KEY) {
            continue;
        }
        const xkb_keycode_t keycode = event.code + kEvdevOffset;
        const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state, keycode);
        const bool modifier = (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
                              (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Last_Group_Lock);
        if (event.value == 1 && keysym == XKB_KEY_Insert && pastes < pasted.size() &&
            xkb_state_mod_name_is_active(state, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE) > 0) {
            made += QString::fromStdString(pasted[pastes++]).toStdU32String();
        } else if (event.value == 1 && !modifier) {
            if (const char32_t c = xkb_state_key_get_utf32(state, keycode); c != 0) {
                made += c;
            } else {
                char name[64];
                xkb_keysym_get_name(keysym, name, sizeof name);
                made += QString("<%1>").arg(name).toStdU32String();
            }
        }
        down += event.value == 1 ? 1 : -1;
        xkb_state_update_key(state, keycode, event.value == 1 ? XKB_KEY_DOWN : XKB_KEY_UP);
    }
    allReleased = down == 0 && xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED) == 0;
    xkb_state_unref(state);
    return QString::fromStdU32String(made).toStdString();
}

class UinputTyping : public ::testing::TestWithParam<Row> {
protected:
    // The connection, kept open, also keeps the server from resetting its keymap whenever
    // its last client leaves.
    static void SetUpTestSuite() {
        xDisplay_ = qgetenv("DISPLAY");
        display_ = XOpenDisplay(nullptr);
    }
    static void TearDownTestSuite() { XCloseDisplay(display_); }
    void TearDown() override {
        if (GetParam().fromX) {
            setXKeyboard("us", 0, false);
        }
        qputenv("DISPLAY", xDisplay_);
    }

    // The X server's layout, group and Caps Lock, as the compositor hands them to XWayland.
    static void setXKeyboard(const char* layout, unsigned group, bool capsLock) {
        ASSERT_NE(display_, nullptr);
        ASSERT_EQ(std::system((std::string("setxkbmap -layout ") + layout).c_str()), 0);
        XkbLockGroup(display_, XkbUseCoreKbd, group);
        XkbLockModifiers(display_, XkbUseCoreKbd, LockMask, capsLock ? LockMask : 0);
        XSync(display_, False);
    }

    static inline QByteArray xDisplay_;
    static inline Display* display_ = nullptr;
};

TEST_P(UinputTyping, TheKeysMakeExactlyTheCodeInTheUsersLayout) {
    const Row& row = GetParam();
    const std::string config = testing::TempDir() + "keyboard";
    std::ofstream(config) << "XKBMODEL=\"pc105\"\nXKBLAYOUT=\"" << row.layout << "\"\n";
    if (row.fromX) {
        setXKeyboard(row.layout, row.group, row.capsLock);
    } else {
        qunsetenv("DISPLAY");
    }
    std::unique_ptr<ClipboardBridge> bridge(row.fromX ? new ClipboardBridge : nullptr);
    testing::internal::CaptureStderr();
    {
        std::string whyNot;
        const std::unique_ptr<UinputKeyboard> keyboard = UinputKeyboard::create(whyNot, config);
        ASSERT_TRUE(keyboard) << whyNot;
        if (!row.fromX) {
            fake_uinput::setLeds(row.capsLock, false);
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(KeyboardText(row.code.c_str()).send(*keyboard),
                      QString::fromStdString(row.code).size());
        }
    }
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fake_uinput::device().name, "ostrelscan keyboard");
    EXPECT_TRUE(fake_uinput::device().destroyed);

    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref);
    const KeymapPtr keymap = compositorKeymap(context.get(), row);
    std::vector<std::string> pasted;
    if (bridge) {
        const auto presses = std::count_if(
            fake_uinput::device().events.begin(), fake_uinput::device().events.end(),
            [](const input_event& event) { return event.code == KEY_INSERT && event.value == 1; });
        waitUntil([&] { return bridge->fetched().size() == static_cast<size_t>(presses); });
        pasted = bridge->fetched();
    }
    bool allReleased = false;
    EXPECT_EQ(replay(keymap.get(), row, pasted, allReleased), row.made + row.made);
    EXPECT_TRUE(allReleased);
    // A character the layout lacks is said once.
    const size_t lacking = warnings.find("has no key for");
    EXPECT_EQ(lacking != std::string::npos, row.lacking) << warnings;
    EXPECT_EQ(lacking, warnings.rfind("has no key for"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, UinputTyping, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct Session {
    const char* name;
    const char* waylandDisplay;  // WAYLAND_DISPLAY, or none for an X11 session
    int uinputError;             // how opening /dev/uinput fails, or 0
    bool xDisplay;               // whether an X server (XWayland) answers
    bool uinput;                 // whether the uinput back end is chosen, else XTest
    const char* notice;          // how the notice to the user begins
};

class BackendChoice : public ::testing::TestWithParam<Session> {};

TEST_P(BackendChoice, EachSessionGetsTheBackendThatReachesItsPrograms) {
    const Session& session = GetParam();
    const QByteArray xDisplay = qgetenv("DISPLAY");
    if (session.waylandDisplay != nullptr) {
        qputenv("WAYLAND_DISPLAY", session.waylandDisplay);
    }
    if (!session.xDisplay) {
        qunsetenv("DISPLAY");
    }
    fake_uinput::failOpen(session.uinputError);
    testing::internal::CaptureStderr();
    const std::unique_ptr<KeyboardBackend> keyboard = createSystemKeyboard();
    const std::string log = testing::internal::GetCapturedStderr();
    fake_uinput::failOpen(0);
    qputenv("DISPLAY", xDisplay);
    qunsetenv("WAYLAND_DISPLAY");

    EXPECT_EQ(dynamic_cast<UinputKeyboard*>(keyboard.get()) != nullptr, session.uinput);
    EXPECT_EQ(dynamic_cast<X11Keyboard*>(keyboard.get()) != nullptr, !session.uinput);
    EXPECT_EQ(QString::fromStdString(keyboard->notice()).startsWith(session.notice), true)
        << keyboard->notice();
    EXPECT_EQ(log.find("Keyboard output: "), log.rfind("Keyboard output: ")) << "once: " << log;
}

const Session kSessions[] = {
    {"X11", nullptr, EACCES, true, false, ""},
    {"WaylandWithUinput", "no-such-compositor", 0, true, true, ""},
    {"WaylandXWaylandOnly", "no-such-compositor", EACCES, true, false, "Wayland 会话"},
    {"WaylandNothing", "no-such-compositor", ENOENT, false, false, "无法模拟键盘输入"},
};

INSTANTIATE_TEST_SUITE_P(Sessions, BackendChoice, ::testing::ValuesIn(kSessions),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
