// SPDX-License-Identifier: MIT
#include "keyboard/uinput_layout.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <fstream>

namespace {

constexpr xkb_keycode_t kEvdevOffset = 8;
// Keycodes the device has: evdev codes 1 to 247, the range XWayland's clients see too.
constexpr xkb_keycode_t kFirstKeycode = 9;
constexpr xkb_keycode_t kLastKeycode = 255;
// A character typed through a keysym other than its own (the keypad's '*') ranks behind
// every combination of modifiers on its own keysym.
constexpr int kOtherKeysymRank = 10;

struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};

xkb_keysym_t keysymOf(Keystroke::Key key) {
    switch (key) {
        case Keystroke::Key::kLeft:
            return XKB_KEY_Left;
        case Keystroke::Key::kRight:
            return XKB_KEY_Right;
        case Keystroke::Key::kTab:
            return XKB_KEY_Tab;
        case Keystroke::Key::kReturn:
            break;
    }
    return XKB_KEY_Return;
}

uint16_t evdevCode(xkb_keycode_t keycode) {
    return static_cast<uint16_t>(keycode - kEvdevOffset);
}

xkb_mod_mask_t maskOf(xkb_keymap* keymap, const char* name) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    return index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t{1} << index;
}

// Unquoted value of a shell assignment line NAME="value", empty when line sets another name.
std::string valueOf(const std::string& line, const std::string& name) {
    if (line.compare(0, name.size() + 1, name + "=") != 0) {
        return {};
    }
    std::string value = line.substr(name.size() + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

UinputLayout::UinputLayout(std::shared_ptr<xkb_keymap> keymap, uint32_t group, UinputLocks locks)
    : keymap_(std::move(keymap)), group_(group) {
    xkb_keymap* map = keymap_.get();
    uint16_t levelThreeKey = 0;
    for (xkb_keycode_t keycode = kLastKeycode; keycode >= kFirstKeycode; --keycode) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(map, keycode, group, 0, &syms) != 1) {
            continue;
        }
        // Lowest keycodes last, so that they win: the main keys before the extra ones.
        plainKeys_[syms[0]] = evdevCode(keycode);
        switch (syms[0]) {
            case XKB_KEY_Shift_L:
                shiftKey_ = evdevCode(keycode);
                break;
            case XKB_KEY_ISO_Level3_Shift:
                levelThreeKey = evdevCode(keycode);
                break;
            case XKB_KEY_Control_L:
                controlKey_ = evdevCode(keycode);
                break;
            default:
                break;
        }
    }
    const xkb_mod_mask_t locked = (locks.capsLock ? maskOf(map, XKB_MOD_NAME_CAPS) : 0) |
                                  (locks.numLock ? maskOf(map, XKB_MOD_NAME_NUM) : 0);
    std::vector<std::vector<uint16_t>> combinations = {{}};
    for (const uint16_t modifier : {shiftKey_, levelThreeKey}) {
        if (modifier == 0) {
            continue;
        }
        const size_t before = combinations.size();
        for (size_t i = 0; i < before; ++i) {
            combinations.push_back(combinations[i]);
            combinations.back().push_back(modifier);
        }
    }
    for (const std::vector<uint16_t>& held : combinations) {
        const std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(map));
        if (!state) {
            continue;
        }
        xkb_state_update_mask(state.get(), 0, 0, locked, 0, 0, group);
        for (const uint16_t modifier : held) {
            xkb_state_update_key(state.get(), modifier + kEvdevOffset, XKB_KEY_DOWN);
        }
        for (xkb_keycode_t keycode = kFirstKeycode; keycode <= kLastKeycode; ++keycode) {
            const char32_t c = xkb_state_key_get_utf32(state.get(), keycode);
            if (c < 0x20 || c == 0x7F) {
                continue;
            }
            const bool ownKeysym =
                xkb_utf32_to_keysym(c) == xkb_state_key_get_one_sym(state.get(), keycode);
            const int rank = (ownKeysym ? 0 : kOtherKeysymRank) + static_cast<int>(held.size());
            const auto known = characters_.find(c);
            if (known == characters_.end() || rank < known->second.rank) {
                characters_[c] = Candidate{UinputStroke{evdevCode(keycode), held}, rank};
            }
        }
    }
}

std::optional<UinputStroke> UinputLayout::strokeFor(char32_t c) const {
    const auto found = characters_.find(c);
    if (found == characters_.end()) {
        return std::nullopt;
    }
    return found->second.stroke;
}

std::optional<UinputStroke> UinputLayout::strokeFor(Keystroke::Key key) const {
    const auto found = plainKeys_.find(keysymOf(key));
    if (found == plainKeys_.end()) {
        return std::nullopt;
    }
    return UinputStroke{found->second, {}};
}

std::optional<UinputStroke> UinputLayout::pasteStroke() const {
    const auto insert = plainKeys_.find(XKB_KEY_Insert);
    if (insert == plainKeys_.end() || shiftKey_ == 0) {
        return std::nullopt;
    }
    return UinputStroke{insert->second, {shiftKey_}};
}

std::shared_ptr<xkb_keymap> keymapFromConfigFile(const std::string& path, std::string& layoutName) {
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        for (auto [name, value] :
             {std::pair{"XKBMODEL", &model}, std::pair{"XKBLAYOUT", &layout},
              std::pair{"XKBVARIANT", &variant}, std::pair{"XKBOPTIONS", &options}}) {
            if (const std::string found = valueOf(line, name); !found.empty()) {
                *value = found;
            }
        }
    }
    const std::unique_ptr<xkb_context, ContextDeleter> context(
        xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return nullptr;
    }
    const auto orNull = [](const std::string& value) {
        return value.empty() ? nullptr : value.c_str();
    };
    const xkb_rule_names names = {nullptr, orNull(model), orNull(layout), orNull(variant),
                                  orNull(options)};
    layoutName = layout.empty() ? "the default layout" : layout;
    if (!variant.empty()) {
        layoutName += " (" + variant + ")";
    }
    xkb_keymap* keymap =
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    return keymap != nullptr ? std::shared_ptr<xkb_keymap>(keymap, xkb_keymap_unref) : nullptr;
}
