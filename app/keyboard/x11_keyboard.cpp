// SPDX-License-Identifier: MIT
#include "keyboard/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "keyboard/x11_borrowed_keys.h"
#include "keyboard/x11_focus_ping.h"
#include "keyboard/x11_keymap.h"

namespace {

using Clock = std::chrono::steady_clock;

// A connection can be refused for a moment (a busy server resets it or answers EAGAIN), so
// opening the display is tried a few times before keyboard output is given up.
constexpr int kOpenAttempts = 5;
constexpr std::chrono::milliseconds kOpenRetryPause{20};
constexpr std::chrono::milliseconds kPollStep{10};
// How long a held modifier key may delay typing before a warning says why.
constexpr std::chrono::seconds kHeldModifierWarning{2};

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct DescDeleter {
    void operator()(XkbDescPtr desc) const { XkbFreeKeyboard(desc, 0, True); }
};
using DescPtr = std::unique_ptr<XkbDescRec, DescDeleter>;

// Xlib's default handler ends the process; a refused keymap change must only fail to type.
int warnOfXError(Display*, XErrorEvent* error) {
    qWarning("Keyboard output: the X server refused a request (error %d, request %d.%d).",
             error->error_code, error->request_code, error->minor_code);
    return 0;
}

KeySym keysymOf(Keystroke::Key key) {
    switch (key) {
        case Keystroke::Key::kLeft:
            return XK_Left;
        case Keystroke::Key::kRight:
            return XK_Right;
        case Keystroke::Key::kReturn:
            return XK_Return;
        case Keystroke::Key::kTab:
            return XK_Tab;
    }
    return NoSymbol;
}

bool isCharacter(const Keystroke& stroke) {
    return stroke.kind != Keystroke::Kind::kKey;
}

}  // namespace

class X11Keyboard::Connection {
public:
    /// Null, after one warning, when the display or one of its extensions is missing.
    static std::unique_ptr<Connection> open();

    explicit Connection(DisplayPtr display) : display_(std::move(display)) {}
    ~Connection();

    size_t type(const std::vector<Keystroke>& strokes, const std::atomic<bool>& cancelled);
    void idle(const std::atomic<bool>& cancelled);

private:
    Display* display() const { return display_.get(); }
    /// Reads pending keymap notifications; reads the keymap again when it changed or the
    /// group is another one.
    void refresh(int group);
    /// Notes keymap changes that an event announces.
    void handle(const XEvent& event);
    /// Whether the focused program has handled every key event sent to it (see
    /// pingFocusedClient()).
    bool caughtUp(const std::atomic<bool>& cancelled) {
        return pingFocusedClient(display(), cancelled,
                                 [this](const XEvent& event) { handle(event); });
    }
    /// Waits until no modifier key is held; switches off locks and latches found meanwhile.
    /// False when cancelled first.
    bool awaitFreeModifiers(const std::atomic<bool>& cancelled);
    bool typeStroke(const std::vector<Keystroke>& strokes, size_t at,
                    const std::atomic<bool>& cancelled);
    /// Binds the characters the layout lacks from strokes[at] on, as many as fit.
    void bindAhead(const std::vector<Keystroke>& strokes, size_t at,
                   const std::atomic<bool>& cancelled);
    bool press(X11Stroke stroke, bool withControl);
    /// Switches off the locked and latched modifiers of state until resumeLocks(); keys
    /// are typed and the keymap changed only while they are off, since clients (Qt's among
    /// them) lose track of Caps Lock when the keymap changes while it is on.
    void suspendLocks(const XkbStateRec& state);
    void resumeLocks();

    DisplayPtr display_;
    int xkbEventType_ = 0;
    DescPtr desc_;
    bool stale_ = true;
    X11Keymap keymap_;
    X11BorrowedKeys borrowed_;
    unsigned suspendedLocks_ = 0;
    unsigned suspendedLatches_ = 0;
    bool warnedNoKey_ = false;
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
    XSetErrorHandler(warnOfXError);
    XkbSelectEvents(display.get(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    // Where the answers to pingFocusedClient() arrive.
    XSelectInput(display.get(), DefaultRootWindow(display.get()),
                 StructureNotifyMask | SubstructureNotifyMask);
    // Keep typing while another client grabs the server.
    XTestGrabControl(display.get(), True);
    auto connection = std::make_unique<Connection>(std::move(display));
    connection->xkbEventType_ = xkbEvent;
    return connection;
}

X11Keyboard::Connection::~Connection() {
    if (!borrowed_.empty()) {
        XkbStateRec state{};
        XkbGetState(display(), XkbUseCoreKbd, &state);
        suspendLocks(state);
        refresh(state.group);
        if (desc_) {
            borrowed_.release(display(), desc_.get(), keymap_, Clock::time_point::max());
        }
        resumeLocks();
    }
    XSync(display(), False);
}

size_t X11Keyboard::Connection::type(const std::vector<Keystroke>& strokes,
                                     const std::atomic<bool>& cancelled) {
    size_t failed = 0;
    for (size_t i = 0; i < strokes.size() && !cancelled; ++i) {
        if (!awaitFreeModifiers(cancelled)) {
            break;
        }
        if (!typeStroke(strokes, i, cancelled) && !cancelled) {
            ++failed;
        }
    }
    resumeLocks();
    XFlush(display());
    return failed;
}

void X11Keyboard::Connection::idle(const std::atomic<bool>& cancelled) {
    if (borrowed_.empty()) {
        return;
    }
    XkbStateRec state{};
    XkbGetState(display(), XkbUseCoreKbd, &state);
    refresh(state.group);
    const Clock::time_point unusedSince = Clock::now() - X11BorrowedKeys::kHold;
    if (desc_ && borrowed_.anyUnusedSince(unusedSince)) {
        // A program that is behind would otherwise read the keymap without the keys it has
        // still to translate.
        caughtUp(cancelled);
        suspendLocks(state);
        if (borrowed_.release(display(), desc_.get(), keymap_, unusedSince)) {
            keymap_ = X11Keymap(desc_.get(), keymap_.group(), borrowed_.keycodes());
        }
        resumeLocks();
    }
}

void X11Keyboard::Connection::handle(const XEvent& event) {
    if (event.type == MappingNotify) {
        XMappingEvent mapping = event.xmapping;
        XRefreshKeyboardMapping(&mapping);
        stale_ = true;
    } else if (event.type == xkbEventType_) {
        stale_ = true;
    }
}

void X11Keyboard::Connection::refresh(int group) {
    while (XPending(display()) > 0) {
        XEvent event;
        XNextEvent(display(), &event);
        handle(event);
    }
    if (stale_) {
        desc_.reset(XkbGetMap(display(), XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask,
                              XkbUseCoreKbd));
        if (desc_) {
            borrowed_.forgetLost(desc_.get());
        }
        stale_ = false;
    } else if (group == keymap_.group()) {
        return;
    }
    keymap_ = desc_ ? X11Keymap(desc_.get(), group, borrowed_.keycodes()) : X11Keymap();
}

bool X11Keyboard::Connection::awaitFreeModifiers(const std::atomic<bool>& cancelled) {
    const Clock::time_point since = Clock::now();
    bool warned = false;
    for (;;) {
        XkbStateRec state{};
        XkbGetState(display(), XkbUseCoreKbd, &state);
        suspendLocks(state);
        refresh(state.group);
        if (state.base_mods == 0) {
            return true;
        }
        if (!warned && Clock::now() - since > kHeldModifierWarning) {
            qWarning("Keyboard output waits until the modifier keys are released.");
            warned = true;
        }
        if (cancelled) {
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
}

bool X11Keyboard::Connection::typeStroke(const std::vector<Keystroke>& strokes, size_t at,
                                         const std::atomic<bool>& cancelled) {
    const Keystroke& stroke = strokes[at];
    if (!isCharacter(stroke)) {
        const std::optional<KeyCode> keycode = keymap_.keycodeFor(keysymOf(stroke.key));
        return keycode && press(X11Stroke{*keycode, 0}, false);
    }
    std::optional<X11Stroke> found = keymap_.strokeFor(stroke.character);
    if (!found) {
        bindAhead(strokes, at, cancelled);
        found = keymap_.strokeFor(stroke.character);
    }
    if (!found) {
        return false;
    }
    borrowed_.touch(stroke.character);
    return press(*found, stroke.kind == Keystroke::Kind::kControl);
}

void X11Keyboard::Connection::bindAhead(const std::vector<Keystroke>& strokes, size_t at,
                                        const std::atomic<bool>& cancelled) {
    if (!desc_ || keysymForCodePoint(strokes[at].character) == NoSymbol) {
        return;
    }
    const size_t capacity = borrowed_.capacity(desc_.get(), keymap_);
    std::vector<char32_t> wanted;
    for (size_t i = at; i < strokes.size() && wanted.size() < capacity; ++i) {
        const char32_t c = strokes[i].character;
        if (isCharacter(strokes[i]) && !keymap_.layoutHas(c) && keysymForCodePoint(c) != NoSymbol &&
            std::find(wanted.begin(), wanted.end(), c) == wanted.end()) {
            wanted.push_back(c);
        }
    }
    if (wanted.empty()) {
        if (!warnedNoKey_) {
            qWarning("Keyboard output: no free keycode for characters the layout lacks.");
            warnedNoKey_ = true;
        }
        return;
    }
    borrowed_.bind(display(), desc_.get(), keymap_, wanted, cancelled,
                   [this, &cancelled] { return caughtUp(cancelled); });
    keymap_ = X11Keymap(desc_.get(), keymap_.group(), borrowed_.keycodes());
}

// Ctrl first, then Shift and the level-three shift, the key, and all released in reverse.
bool X11Keyboard::Connection::press(X11Stroke stroke, bool withControl) {
    std::vector<KeyCode> held;
    const unsigned modifiers = stroke.modifiers | (withControl ? ControlMask : 0);
    for (const unsigned modifier : {static_cast<unsigned>(ControlMask),
                                    static_cast<unsigned>(ShiftMask), keymap_.levelThree()}) {
        if (modifier != 0 && (modifiers & modifier) != 0) {
            const KeyCode key = keymap_.modifierKey(modifier);
            if (key == 0) {
                return false;
            }
            held.push_back(key);
        }
    }
    held.push_back(stroke.keycode);
    bool accepted = true;
    for (const KeyCode key : held) {
        accepted = XTestFakeKeyEvent(display(), key, True, CurrentTime) != 0 && accepted;
    }
    for (auto key = held.rbegin(); key != held.rend(); ++key) {
        accepted = XTestFakeKeyEvent(display(), *key, False, CurrentTime) != 0 && accepted;
    }
    return accepted;
}

void X11Keyboard::Connection::suspendLocks(const XkbStateRec& state) {
    if (state.locked_mods != 0) {
        suspendedLocks_ |= state.locked_mods;
        XkbLockModifiers(display(), XkbUseCoreKbd, state.locked_mods, 0);
    }
    if (state.latched_mods != 0) {
        suspendedLatches_ |= state.latched_mods;
        XkbLatchModifiers(display(), XkbUseCoreKbd, state.latched_mods, 0);
    }
}

void X11Keyboard::Connection::resumeLocks() {
    if (suspendedLocks_ == 0 && suspendedLatches_ == 0) {
        return;
    }
    // A lock the user set meanwhile is theirs to keep; the suspended ones then stay off.
    XkbStateRec state{};
    XkbGetState(display(), XkbUseCoreKbd, &state);
    if (state.locked_mods == 0 && suspendedLocks_ != 0) {
        XkbLockModifiers(display(), XkbUseCoreKbd, suspendedLocks_, suspendedLocks_);
    }
    if (state.latched_mods == 0 && suspendedLatches_ != 0) {
        XkbLatchModifiers(display(), XkbUseCoreKbd, suspendedLatches_, suspendedLatches_);
    }
    suspendedLocks_ = 0;
    suspendedLatches_ = 0;
    XFlush(display());
}

X11Keyboard::X11Keyboard() : connection_(Connection::open()) {}

X11Keyboard::~X11Keyboard() = default;

bool X11Keyboard::isAvailable() const {
    return connection_ != nullptr;
}

size_t X11Keyboard::type(const std::vector<Keystroke>& strokes) {
    if (!connection_) {
        return strokes.size();
    }
    return connection_->type(strokes, cancelled_);
}

void X11Keyboard::idle() {
    if (connection_) {
        connection_->idle(cancelled_);
    }
}
