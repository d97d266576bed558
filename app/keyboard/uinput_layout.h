// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_UINPUT_LAYOUT_H
#define OSTRELSCAN_KEYBOARD_UINPUT_LAYOUT_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "keyboard/keystrokes.h"

struct xkb_keymap;

/// A key and the modifier keys held around it, as evdev key codes.
struct UinputStroke {
    uint16_t key = 0;
    std::vector<uint16_t> modifiers;
};

/// The lock state the compositor shows on the keyboard's LEDs.
struct UinputLocks {
    bool capsLock = false;
    bool numLock = false;
};

/// Which keys type which characters in one group of an XKB keymap, the way the compositor
/// translates the keys of a device under the user's layout: found by pressing each key with
/// each combination of Shift and the level-three shift (AltGr) in a keyboard state that has
/// the given locks.
class UinputLayout {
public:
    UinputLayout() = default;
    /// keymap's keycodes are evdev codes plus 8, as in every keymap a compositor uses.
    UinputLayout(std::shared_ptr<xkb_keymap> keymap, uint32_t group, UinputLocks locks);

    /// How to type c, preferring the character's own keysym (the letter, not the keypad's key)
    /// and then fewer modifier keys; none when the layout lacks it.
    std::optional<UinputStroke> strokeFor(char32_t c) const;
    std::optional<UinputStroke> strokeFor(Keystroke::Key key) const;
    /// The key that holds Ctrl; 0 when the layout has none.
    uint16_t controlKey() const { return controlKey_; }
    /// Shift+Insert, which pastes in GTK, Qt and terminals alike; none without those keys.
    std::optional<UinputStroke> pasteStroke() const;

    const std::shared_ptr<xkb_keymap>& keymap() const { return keymap_; }
    uint32_t group() const { return group_; }

private:
    struct Candidate {
        UinputStroke stroke;
        int rank = 0;
    };

    std::shared_ptr<xkb_keymap> keymap_;
    uint32_t group_ = 0;
    std::unordered_map<char32_t, Candidate> characters_;
    std::unordered_map<uint32_t, uint16_t> plainKeys_;  // keysym -> key typing it unmodified
    uint16_t controlKey_ = 0;
    uint16_t shiftKey_ = 0;
};

/// The keymap named by a keyboard configuration file in the format of /etc/default/keyboard
/// (XKBMODEL, XKBLAYOUT, XKBVARIANT, XKBOPTIONS); xkbcommon's default where the file or a
/// setting is missing. Null when xkbcommon cannot build it.
std::shared_ptr<xkb_keymap> keymapFromConfigFile(const std::string& path, std::string& layoutName);

#endif
