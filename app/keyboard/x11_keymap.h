#ifndef OSTRELSCAN_KEYBOARD_X11_KEYMAP_H
#define OSTRELSCAN_KEYBOARD_X11_KEYMAP_H

#include <X11/Xlib.h>

#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

/// One key stroke that produces a symbol: the key, and whether Shift is held around it.
struct KeyStroke {
    KeyCode keycode = 0;
    bool shift = false;
};

/// The keysym through which a code point is typed when the layout lacks it: the Latin-1
/// keysym, the terminal function key of a control character that has one (Return for
/// U+000D, Tab, BackSpace, Linefeed, Escape, Delete), else the Unicode keysym.
/// NoSymbol for values beyond Unicode.
KeySym keysymForCodePoint(char32_t codePoint);

/// What the core keyboard's layout produces in its current group and lock state, plus the
/// keycodes that carry no symbol and so may be borrowed for characters the layout lacks.
class X11Keymap {
public:
    /// Reads the layout from display (XKB must be initialised on it). Keycodes in borrowed
    /// are bound by us for the moment: they count as spare as well as part of the layout.
    static X11Keymap read(Display* display, const std::set<KeyCode>& borrowed);

    /// How to type codePoint with the layout, if it can be typed with Shift at most.
    std::optional<KeyStroke> strokeFor(char32_t codePoint) const;

    /// The key that produces keysym without modifiers, if any.
    std::optional<KeyCode> keycodeFor(KeySym keysym) const;

    /// A key bound to the Shift modifier; 0 when there is none.
    KeyCode shiftKeycode() const { return shiftKeycode_; }

    /// Keycodes with no symbols and no modifier, highest first, borrowed ones included.
    const std::vector<KeyCode>& spareKeycodes() const { return spare_; }

private:
    struct Candidate {
        KeyStroke stroke;
        int rank = 0;
    };

    void offer(char32_t codePoint, KeySym keysym, KeyStroke stroke);

    std::unordered_map<char32_t, Candidate> characters_;
    std::unordered_map<KeySym, KeyCode> plainKeys_;
    std::vector<KeyCode> spare_;
    KeyCode shiftKeycode_ = 0;
};

#endif
