#include "keyboard/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "keyboard/x11_keymap.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// A borrowed keycode keeps its binding at least this long after its last key event, so that
// clients which read their events late still translate the key with the borrowed symbol.
constexpr std::chrono::milliseconds kBorrowHold{500};
// A connection can be refused for a moment (a busy server resets it or answers EAGAIN), so
// opening the display is tried a few times before keyboard output is given up.
constexpr int kOpenAttempts = 5;
constexpr std::chrono::milliseconds kOpenRetryPause{20};
// Bound on waiting for a changed mapping to show in the server's keyboard mapping.
constexpr int kMappingWaitTries = 200;
constexpr std::chrono::milliseconds kMappingWaitStep{1};

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

KeySym keysymOf(KeyboardBackend::Key key) {
    switch (key) {
        case KeyboardBackend::Key::Left:
            return XK_Left;
        case KeyboardBackend::Key::Right:
            return XK_Right;
        case KeyboardBackend::Key::Return:
            return XK_Return;
    }
    return NoSymbol;
}

}  // namespace

class X11Keyboard::Connection {
public:
    /// Null, after one warning, when the display or one of its extensions is missing.
    static std::unique_ptr<Connection> open();

    Connection(DisplayPtr display, int xkbEventType)
        : display_(std::move(display)), xkbEventType_(xkbEventType) {}
    ~Connection() {
        restore(SteadyClock::time_point::max());
        XSync(display_.get(), False);
    }

    bool typeCharacter(char32_t codePoint);
    bool sendKey(KeySym keysym, bool down);
    void idle() {
        refreshKeymap();
        restore(SteadyClock::now() - kBorrowHold);
    }

private:
    struct Borrowed {
        KeyCode keycode;
        SteadyClock::time_point lastUsed;
    };

    void refreshKeymap();
    /// Marks a borrowed keycode as just used.
    void touch(KeyCode keycode);
    /// Binds a spare keycode to keysym; false when there is none.
    bool borrow(KeySym keysym);
    void bind(KeyCode keycode, KeySym keysym);
    void restore(SteadyClock::time_point usedBefore);
    bool fakeKey(KeyCode keycode, bool down) {
        return XTestFakeKeyEvent(display_.get(), keycode, down ? True : False, CurrentTime) != 0;
    }

    DisplayPtr display_;
    int xkbEventType_;
    X11Keymap keymap_;
    bool keymapStale_ = true;
    std::vector<Borrowed> borrowed_;
    bool warnedNoSpare_ = false;
};

std::unique_ptr<X11Keyboard::Connection> X11Keyboard::Connection::open() {
    const char* name = std::getenv("DISPLAY");
    DisplayPtr display(XOpenDisplay(nullptr));
    for (int attempt = 1; !display && name != nullptr && attempt < kOpenAttempts; ++attempt) {
        std::this_thread::sleep_for(kOpenRetryPause);
        display.reset(XOpenDisplay(nullptr));
    }
    if (!display) {
        qWarning("Keyboard output is off: cannot open the X display \"%s\".", name ? name : "");
        return nullptr;
    }
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display.get(), &event, &error, &major, &minor)) {
        qWarning("Keyboard output is off: the X display \"%s\" has no XTEST extension.",
                 DisplayString(display.get()));
        return nullptr;
    }
    int opcode = 0;
    int xkbEvent = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display.get(), &opcode, &xkbEvent, &error, &major, &minor)) {
        qWarning("Keyboard output is off: the X display \"%s\" has no XKEYBOARD extension.",
                 DisplayString(display.get()));
        return nullptr;
    }
    // Layout changes, and group or lock changes, alter which key yields which character.
    XkbSelectEvents(display.get(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(display.get(), XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
                          XkbGroupStateMask | XkbModifierLockMask);
    // Keep typing while another client grabs the server.
    XTestGrabControl(display.get(), True);
    return std::make_unique<Connection>(std::move(display), xkbEvent);
}

void X11Keyboard::Connection::refreshKeymap() {
    while (XPending(display_.get()) > 0) {
        XEvent event;
        XNextEvent(display_.get(), &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            keymapStale_ = true;
        } else if (event.type == xkbEventType_) {
            keymapStale_ = true;
        }
    }
    if (!keymapStale_) {
        return;
    }
    std::set<KeyCode> borrowed;
    for (const Borrowed& b : borrowed_) {
        borrowed.insert(b.keycode);
    }
    keymap_ = X11Keymap::read(display_.get(), borrowed);
    keymapStale_ = false;
}

bool X11Keyboard::Connection::typeCharacter(char32_t codePoint) {
    refreshKeymap();
    std::optional<KeyStroke> stroke = keymap_.strokeFor(codePoint);
    if (!stroke) {
        const KeySym keysym = keysymForCodePoint(codePoint);
        if (keysym == NoSymbol || !borrow(keysym)) {
            return false;
        }
        refreshKeymap();
        stroke = keymap_.strokeFor(codePoint);
        if (!stroke) {
            return false;
        }
    }
    touch(stroke->keycode);
    bool accepted = true;
    if (stroke->shift) {
        accepted = fakeKey(keymap_.shiftKeycode(), true) && accepted;
    }
    accepted = fakeKey(stroke->keycode, true) && accepted;
    accepted = fakeKey(stroke->keycode, false) && accepted;
    if (stroke->shift) {
        accepted = fakeKey(keymap_.shiftKeycode(), false) && accepted;
    }
    XFlush(display_.get());
    return accepted;
}

bool X11Keyboard::Connection::sendKey(KeySym keysym, bool down) {
    refreshKeymap();
    std::optional<KeyCode> keycode = keymap_.keycodeFor(keysym);
    if (!keycode) {
        if (!borrow(keysym)) {
            return false;
        }
        refreshKeymap();
        keycode = keymap_.keycodeFor(keysym);
        if (!keycode) {
            return false;
        }
    }
    touch(*keycode);
    const bool accepted = fakeKey(*keycode, down);
    XFlush(display_.get());
    return accepted;
}

void X11Keyboard::Connection::touch(KeyCode keycode) {
    for (Borrowed& b : borrowed_) {
        if (b.keycode == keycode) {
            b.lastUsed = SteadyClock::now();
        }
    }
}

bool X11Keyboard::Connection::borrow(KeySym keysym) {
    for (const KeyCode keycode : keymap_.spareKeycodes()) {
        const bool taken =
            std::any_of(borrowed_.begin(), borrowed_.end(),
                        [keycode](const Borrowed& b) { return b.keycode == keycode; });
        if (!taken) {
            bind(keycode, keysym);
            borrowed_.push_back(Borrowed{keycode, SteadyClock::now()});
            return true;
        }
    }
    if (borrowed_.empty()) {
        if (!warnedNoSpare_) {
            qWarning(
                "Keyboard output: no free keycode to type characters that the keyboard "
                "layout lacks.");
            warnedNoSpare_ = true;
        }
        return false;
    }
    // Every spare keycode is bound: rebind the one used longest ago once its hold is over.
    auto oldest = std::min_element(
        borrowed_.begin(), borrowed_.end(),
        [](const Borrowed& a, const Borrowed& b) { return a.lastUsed < b.lastUsed; });
    std::this_thread::sleep_until(oldest->lastUsed + kBorrowHold);
    bind(oldest->keycode, keysym);
    oldest->lastUsed = SteadyClock::now();
    return true;
}

// Clients translate a key event with the mapping they hold when they read it, so the new
// binding must be in the server's mapping before the key event is sent. A letter is bound
// with its lower and upper case, so that the server gives the key a type that follows
// Caps Lock and Shift as letter keys do.
void X11Keyboard::Connection::bind(KeyCode keycode, KeySym keysym) {
    KeySym keysyms[2] = {keysym, keysym};
    XConvertCase(keysym, &keysyms[0], &keysyms[1]);
    XChangeKeyboardMapping(display_.get(), keycode, 2, keysyms, 1);
    XSync(display_.get(), False);
    for (int i = 0; i < kMappingWaitTries; ++i) {
        int perKeycode = 0;
        KeySym* current = XGetKeyboardMapping(display_.get(), keycode, 1, &perKeycode);
        const bool visible = current != nullptr && perKeycode > 0 && current[0] == keysyms[0];
        XFree(current);
        if (visible) {
            break;
        }
        std::this_thread::sleep_for(kMappingWaitStep);
    }
    keymapStale_ = true;
}

void X11Keyboard::Connection::restore(SteadyClock::time_point usedBefore) {
    const auto end = std::remove_if(borrowed_.begin(), borrowed_.end(), [&](const Borrowed& b) {
        if (b.lastUsed >= usedBefore) {
            return false;
        }
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display_.get(), b.keycode, 2, none, 1);
        return true;
    });
    if (end != borrowed_.end()) {
        borrowed_.erase(end, borrowed_.end());
        XFlush(display_.get());
        keymapStale_ = true;
    }
}

X11Keyboard::X11Keyboard() : connection_(Connection::open()) {}

X11Keyboard::~X11Keyboard() = default;

bool X11Keyboard::isAvailable() const {
    return connection_ != nullptr;
}

bool X11Keyboard::typeCharacter(char32_t codePoint) {
    return connection_ && connection_->typeCharacter(codePoint);
}

bool X11Keyboard::sendKey(Key key, bool down) {
    return connection_ && connection_->sendKey(keysymOf(key), down);
}

void X11Keyboard::idle() {
    if (connection_) {
        connection_->idle();
    }
}
