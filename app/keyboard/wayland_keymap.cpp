// SPDX-License-Identifier: MIT
#include "keyboard/wayland_keymap.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint32_t kTab = 23;
constexpr uint32_t kReturn = 36;
constexpr uint32_t kLeft = 113;
constexpr uint32_t kRight = 114;
constexpr uint32_t kMinKeycode = 8;
constexpr uint32_t kMaxKeycode = 255;
// GTK 3 looks keys up below the keymap's highest keycode only, so that one types nothing.
constexpr uint32_t kLastTypingKeycode = kMaxKeycode - 1;

const std::vector<uint32_t>& characterKeycodes() {
    static const std::vector<uint32_t> keycodes = [] {
        std::vector<uint32_t> all;
        for (uint32_t keycode = kMinKeycode + 1; keycode <= kLastTypingKeycode; ++keycode) {
            if (keycode != kTab && keycode != kReturn && keycode != kLeft && keycode != kRight) {
                all.push_back(keycode);
            }
        }
        return all;
    }();
    return keycodes;
}

constexpr const char* kTypes =
    "xkb_types \"ostrelscan\" {\n"
    "type \"ONE_LEVEL\" { modifiers = none; level_name[Level1] = \"Any\"; };\n"
    "};\n"
    "xkb_compatibility \"ostrelscan\" { };\n";

std::string keyLine(uint32_t keycode, const char* keysym) {
    char line[64];
    std::snprintf(line, sizeof line, "key <K%u> { [ %s ] };\n", keycode, keysym);
    return line;
}

}  // namespace

WaylandKeymap::WaylandKeymap() {
    for (char32_t c = U' '; c <= U'~'; ++c) {
        characters_.push_back(c);
    }
}

size_t WaylandKeymap::capacity() {
    return characterKeycodes().size();
}

bool WaylandKeymap::canHold(char32_t c) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    return !control && !surrogate && c <= 0x10FFFF;
}

std::optional<uint32_t> WaylandKeymap::keycodeOf(char32_t c) const {
    const auto found = std::find(characters_.begin(), characters_.end(), c);
    if (found == characters_.end()) {
        return std::nullopt;
    }
    return characterKeycodes()[static_cast<size_t>(found - characters_.begin())];
}

uint32_t WaylandKeymap::keycodeOf(Keystroke::Key key) {
    switch (key) {
        case Keystroke::Key::kLeft:
            return kLeft;
        case Keystroke::Key::kRight:
            return kRight;
        case Keystroke::Key::kTab:
            return kTab;
        case Keystroke::Key::kReturn:
            break;
    }
    return kReturn;
}

WaylandKeymap WaylandKeymap::with(const std::vector<char32_t>& wanted) const {
    WaylandKeymap keymap;
    keymap.characters_.clear();
    for (const std::vector<char32_t>* from : {&wanted, &characters_}) {
        for (const char32_t c : *from) {
            if (keymap.characters_.size() < capacity() && canHold(c) && !keymap.keycodeOf(c)) {
                keymap.characters_.push_back(c);
            }
        }
    }
    return keymap;
}

// One level per key and no modifier key: Ctrl reaches clients through the modifier state.
std::string WaylandKeymap::text() const {
    // Every keycode is named, so that the highest one is kMaxKeycode.
    std::string keycodes;
    for (uint32_t keycode = kMinKeycode; keycode <= kMaxKeycode; ++keycode) {
        keycodes += "<K" + std::to_string(keycode) + "> = " + std::to_string(keycode) + ";\n";
    }
    std::string symbols = keyLine(kTab, "Tab") + keyLine(kReturn, "Return") +
                          keyLine(kLeft, "Left") + keyLine(kRight, "Right");
    for (size_t i = 0; i < characters_.size(); ++i) {
        char keysym[16];
        std::snprintf(keysym, sizeof keysym, "U%04X", static_cast<unsigned>(characters_[i]));
        symbols += keyLine(characterKeycodes()[i], keysym);
    }
    return "xkb_keymap {\nxkb_keycodes \"ostrelscan\" {\n" + keycodes + "};\n" + kTypes +
           "xkb_symbols \"ostrelscan\" {\n" + symbols + "};\n};\n";
}
