// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_X11_KEYMAP_H
#define OSTRELSCAN_KEYBOARD_X11_KEYMAP_H

#include <X11/XKBlib.h>

#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

/// A key and the modifiers (Shift, the level-three shift AltGr) held around it.
struct X11Stroke {
    KeyCode keycode = 0;
    unsigned modifiers = 0;
};

/// The keysym through which a code point is bound to a free key: the Latin-1 keysym, else
/// the Unicode keysym; NoSymbol for control characters and values beyond Unicode.
KeySym keysymForCodePoint(char32_t codePoint);

/// What the core keyboard's layout types in one group while no modifier is locked or
/// latched: which key with which level modifiers gives which character, the keys that hold
/// Shift, Ctrl and the level-three shift, and the keycodes free for binding.
class X11Keymap {
public:
    X11Keymap() = default;
    /// Reads the types, symbols and modifier map of desc for group. Keys in borrowed are
    /// bound by us: they count as free and type their characters, but not as the layout's.
    X11Keymap(XkbDescPtr desc, int group, const std::set<KeyCode>& borrowed);

    int group() const { return group_; }

    /// How to type c, preferring the character's own keysym and then fewer modifiers.
    std::optional<X11Stroke> strokeFor(char32_t c) const;
    /// Whether a key of the layout itself (not a borrowed one) types c.
    bool layoutHas(char32_t c) const { return layout_.count(c) != 0; }
    /// The key that gives keysym without modifiers.
    std::optional<KeyCode> keycodeFor(KeySym keysym) const;
    /// The key that sets modifier (ShiftMask, ControlMask or levelThree()); 0 when none.
    KeyCode modifierKey(unsigned modifier) const;
    /// The real modifier of the level-three shift; 0 when the layout has none.
    unsigned levelThree() const { return levelThree_; }
    /// Keycodes without symbols or modifiers, highest first, borrowed ones included.
    const std::vector<KeyCode>& freeKeycodes() const { return free_; }

private:
    struct Candidate {
        X11Stroke stroke;
        int rank = 0;
    };

    void offer(std::unordered_map<char32_t, Candidate>& into, char32_t c, KeySym keysym,
               X11Stroke stroke);

    int group_ = 0;
    std::unordered_map<char32_t, Candidate> layout_;
    std::unordered_map<char32_t, Candidate> borrowed_;
    std::unordered_map<KeySym, KeyCode> plainKeys_;
    std::unordered_map<unsigned, KeyCode> modifierKeys_;
    unsigned levelThree_ = 0;
    std::vector<KeyCode> free_;
};

#endif
