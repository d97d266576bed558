// SPDX-License-Identifier: MIT
#include "keyboard/x11_keymap.h"

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace {

constexpr KeySym kUnicodeKeysymBase = 0x01000000;
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

KeySym translate(XkbDescPtr desc, KeyCode keycode, int group, unsigned modifiers) {
    unsigned consumed = 0;
    KeySym keysym = NoSymbol;
    if (!XkbTranslateKeyCode(desc, keycode, XkbBuildCoreState(modifiers, group), &consumed,
                             &keysym)) {
        return NoSymbol;
    }
    return keysym;
}

}  // namespace

KeySym keysymForCodePoint(char32_t codePoint) {
    if (isControl(codePoint) || codePoint > kLastCodePoint ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return NoSymbol;
    }
    return codePoint <= 0xFF ? codePoint : kUnicodeKeysymBase + codePoint;
}

X11Keymap::X11Keymap(XkbDescPtr desc, int group, const std::set<KeyCode>& borrowed)
    : group_(group) {
    const auto modifiersOf = [desc](KeyCode keycode) -> unsigned {
        return desc->map->modmap != nullptr ? desc->map->modmap[keycode] : 0;
    };
    // The keys that hold the modifiers typing needs, found by what they type.
    for (int code = desc->min_key_code; code <= desc->max_key_code; ++code) {
        const auto keycode = static_cast<KeyCode>(code);
        const unsigned modifiers = modifiersOf(keycode);
        if (modifiers == 0 || XkbKeyNumGroups(desc, keycode) == 0) {
            continue;
        }
        switch (translate(desc, keycode, group, 0)) {
            case XK_Shift_L:
            case XK_Shift_R:
                modifierKeys_.try_emplace(modifiers & ShiftMask, keycode);
                break;
            case XK_Control_L:
            case XK_Control_R:
                modifierKeys_.try_emplace(modifiers & ControlMask, keycode);
                break;
            case XK_ISO_Level3_Shift:
                if (levelThree_ == 0) {
                    levelThree_ = modifiers;
                    modifierKeys_.try_emplace(modifiers, keycode);
                }
                break;
            default:
                break;
        }
    }
    modifierKeys_.erase(0);

    const unsigned levels[] = {0, ShiftMask, levelThree_, ShiftMask | levelThree_};
    const size_t levelCount = levelThree_ != 0 ? 4 : 2;
    for (int code = desc->min_key_code; code <= desc->max_key_code; ++code) {
        const auto keycode = static_cast<KeyCode>(code);
        const bool isBorrowed = borrowed.count(keycode) != 0;
        const bool hasSymbols = XkbKeyNumGroups(desc, keycode) > 0;
        if (isBorrowed || (!hasSymbols && modifiersOf(keycode) == 0)) {
            free_.insert(free_.begin(), keycode);
        }
        if (!hasSymbols) {
            continue;
        }
        for (size_t level = 0; level < levelCount; ++level) {
            const KeySym keysym = translate(desc, keycode, group, levels[level]);
            if (keysym == NoSymbol) {
                continue;
            }
            if (level == 0) {
                plainKeys_.try_emplace(keysym, keycode);
            }
            const char32_t c = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
            if (c != 0 && !isControl(c)) {
                offer(isBorrowed ? borrowed_ : layout_, c, keysym,
                      X11Stroke{keycode, levels[level]});
            }
        }
    }
}

// Ranks a stroke by whether it types the character's own keysym (the main keyboard's "1"
// rather than the keypad's) and then by its modifiers; among equals the lowest keycode wins.
void X11Keymap::offer(std::unordered_map<char32_t, Candidate>& into, char32_t c, KeySym keysym,
                      X11Stroke stroke) {
    const int modifierRank = (stroke.modifiers & ShiftMask ? 1 : 0) +
                             (stroke.modifiers & ~static_cast<unsigned>(ShiftMask) ? 2 : 0);
    const int rank = (keysym == keysymForCodePoint(c) ? 0 : 4) + modifierRank;
    const auto [it, inserted] = into.try_emplace(c, Candidate{stroke, rank});
    if (!inserted && rank < it->second.rank) {
        it->second = Candidate{stroke, rank};
    }
}

std::optional<X11Stroke> X11Keymap::strokeFor(char32_t c) const {
    for (const auto* source : {&layout_, &borrowed_}) {
        const auto it = source->find(c);
        if (it != source->end()) {
            return it->second.stroke;
        }
    }
    return std::nullopt;
}

std::optional<KeyCode> X11Keymap::keycodeFor(KeySym keysym) const {
    const auto it = plainKeys_.find(keysym);
    if (it == plainKeys_.end()) {
        return std::nullopt;
    }
    return it->second;
}

KeyCode X11Keymap::modifierKey(unsigned modifier) const {
    const auto it = modifierKeys_.find(modifier);
    return it == modifierKeys_.end() ? 0 : it->second;
}
