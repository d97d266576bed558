// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_WAYLAND_KEYMAP_H
#define OSTRELSCAN_KEYBOARD_WAYLAND_KEYMAP_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "keyboard/keystrokes.h"

/// The keymap a virtual keyboard uploads: Left, Right, Return and Tab on their usual keys and
/// one key for each character it holds, so that any character is typed without the user's
/// layout. Keycodes stay at most 255, the most XWayland's clients can see.
class WaylandKeymap {
public:
    /// A keymap holding printable ASCII, which most codes need and nothing more.
    WaylandKeymap();

    /// How many characters one keymap holds.
    static size_t capacity();
    /// Whether a keymap can hold c at all: a Unicode scalar value that is no control character.
    static bool canHold(char32_t c);

    /// The XKB keycode that types c, none when the keymap lacks it.
    std::optional<uint32_t> keycodeOf(char32_t c) const;
    static uint32_t keycodeOf(Keystroke::Key key);

    /// A keymap holding the first capacity() characters of wanted, then as many of this one's
    /// as fit beside them.
    WaylandKeymap with(const std::vector<char32_t>& wanted) const;

    /// The keymap in XKB's text format.
    std::string text() const;

private:
    std::vector<char32_t> characters_;  // in the order of characterKeycodes()
};

#endif
