#include "keyboard/x11_keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>

namespace {

struct XkbDescDeleter {
    void operator()(XkbDescPtr desc) const { XkbFreeKeyboard(desc, 0, True); }
};

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr KeySym kUnicodeKeysymBase = 0x01000000;

}  // namespace

KeySym keysymForCodePoint(char32_t codePoint) {
    if ((codePoint >= 0x20 && codePoint <= 0x7E) || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return codePoint;
    }
    switch (codePoint) {
        case 0x08:
            return XK_BackSpace;
        case 0x09:
            return XK_Tab;
        case 0x0A:
            return XK_Linefeed;
        case 0x0D:
            return XK_Return;
        case 0x1B:
            return XK_Escape;
        case 0x7F:
            return XK_Delete;
        default:
            break;
    }
    if (codePoint > kLastCodePoint) {
        return NoSymbol;
    }
    return kUnicodeKeysymBase + codePoint;
}

X11Keymap X11Keymap::read(Display* display, const std::set<KeyCode>& borrowed) {
    X11Keymap keymap;
    std::unique_ptr<XkbDescRec, XkbDescDeleter> desc(
        XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd));
    if (!desc) {
        return keymap;
    }
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);

    // Translate every key as a client would see it under the current group and locks
    // (Caps Lock, Num Lock), alone and with Shift. Borrowed keys count as spare and as part
    // of the layout, so that a character bound to one is found like any other.
    for (int code = desc->min_key_code; code <= desc->max_key_code; ++code) {
        const auto keycode = static_cast<KeyCode>(code);
        const unsigned modifiers = desc->map->modmap ? desc->map->modmap[keycode] : 0;
        const bool hasSymbols = XkbKeyNumGroups(desc.get(), keycode) > 0;
        if (borrowed.count(keycode) != 0 || (!hasSymbols && modifiers == 0)) {
            keymap.spare_.push_back(keycode);
        }
        if (!hasSymbols) {
            continue;
        }
        if ((modifiers & ShiftMask) != 0 && keymap.shiftKeycode_ == 0) {
            keymap.shiftKeycode_ = keycode;
        }
        for (const bool shift : {false, true}) {
            const unsigned mods = state.locked_mods | (shift ? ShiftMask : 0);
            unsigned consumed = 0;
            KeySym keysym = NoSymbol;
            if (!XkbTranslateKeyCode(desc.get(), keycode, XkbBuildCoreState(mods, state.group),
                                     &consumed, &keysym) ||
                keysym == NoSymbol) {
                continue;
            }
            // Clients turn a letter into upper case when Caps Lock is on and the key's type
            // does not consume Lock.
            if ((mods & LockMask) != 0 && (consumed & LockMask) == 0) {
                KeySym lower = NoSymbol;
                XConvertCase(keysym, &lower, &keysym);
            }
            if (!shift) {
                keymap.plainKeys_.emplace(keysym, keycode);
            }
            const char32_t codePoint = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
            if (codePoint != 0) {
                keymap.offer(codePoint, keysym, KeyStroke{keycode, shift});
            }
        }
    }
    std::reverse(keymap.spare_.begin(), keymap.spare_.end());
    return keymap;
}

// Prefers the character's own keysym (the main keyboard's "1" over the keypad's) and then
// a stroke without Shift; among equals the lowest keycode wins.
void X11Keymap::offer(char32_t codePoint, KeySym keysym, KeyStroke stroke) {
    const int rank = (keysym == keysymForCodePoint(codePoint) ? 0 : 2) + (stroke.shift ? 1 : 0);
    const auto [it, inserted] = characters_.try_emplace(codePoint, Candidate{stroke, rank});
    if (!inserted && rank < it->second.rank) {
        it->second = Candidate{stroke, rank};
    }
}

std::optional<KeyStroke> X11Keymap::strokeFor(char32_t codePoint) const {
    const auto it = characters_.find(codePoint);
    if (it == characters_.end() || (it->second.stroke.shift && shiftKeycode_ == 0)) {
        return std::nullopt;
    }
    return it->second.stroke;
}

std::optional<KeyCode> X11Keymap::keycodeFor(KeySym keysym) const {
    const auto it = plainKeys_.find(keysym);
    if (it == plainKeys_.end()) {
        return std::nullopt;
    }
    return it->second;
}
