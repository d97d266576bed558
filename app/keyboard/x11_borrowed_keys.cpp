// SPDX-License-Identifier: MIT
#include "keyboard/x11_borrowed_keys.h"

#include <algorithm>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kWaitStep{10};

/// A key type that gives the levels bound keys are typed with.
struct SlotType {
    int index = -1;
    int levels = 0;
};

int levelOf(const XkbKeyTypeRec& type, unsigned modifiers) {
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (entry.active && (modifiers & type.mods.mask) == entry.mods.mask) {
            return entry.level;
        }
    }
    return 0;
}

// The key type with the most levels among: plain, Shift, level three, Shift with level
// three (FOUR_LEVEL); plain and Shift (TWO_LEVEL); plain alone (ONE_LEVEL). Lock plays no
// part in them: typing switches every lock off.
SlotType slotType(XkbDescPtr desc, unsigned levelThree) {
    const unsigned selectors[] = {0, ShiftMask, levelThree, ShiftMask | levelThree};
    for (const int levels : {4, 2, 1}) {
        if (levels == 4 && levelThree == 0) {
            continue;
        }
        const unsigned mask = levels == 1 ? 0 : levels == 2 ? ShiftMask : ShiftMask | levelThree;
        for (int t = 0; t < desc->map->num_types; ++t) {
            const XkbKeyTypeRec& type = desc->map->types[t];
            bool fits = type.num_levels == levels && type.mods.mask == mask;
            for (int level = 0; fits && level < levels; ++level) {
                fits = levelOf(type, selectors[level]) == level;
            }
            if (fits) {
                return SlotType{t, levels};
            }
        }
    }
    return SlotType{};
}

}  // namespace

size_t X11BorrowedKeys::capacity(XkbDescPtr desc, const X11Keymap& keymap) const {
    const SlotType type = slotType(desc, keymap.levelThree());
    return keymap.freeKeycodes().size() * static_cast<size_t>(type.levels);
}

void X11BorrowedKeys::bind(Display* display, XkbDescPtr desc, const X11Keymap& keymap,
                           const std::vector<char32_t>& wanted, const std::atomic<bool>& cancelled,
                           const std::function<bool()>& caughtUp) {
    const SlotType type = slotType(desc, keymap.levelThree());
    const auto holding = [this](char32_t c) {
        return std::find_if(bindings_.begin(), bindings_.end(),
                            [c](const Binding& b) { return b.character == c; });
    };
    const auto isWanted = [&wanted](char32_t c) {
        return std::find(wanted.begin(), wanted.end(), c) != wanted.end();
    };
    std::vector<char32_t> missing;
    for (const char32_t c : wanted) {
        if (holding(c) == bindings_.end()) {
            missing.push_back(c);
        }
    }
    std::set<KeyCode> changed;
    size_t next = 0;
    // Empty levels first.
    for (const KeyCode keycode : keymap.freeKeycodes()) {
        for (int level = 0; level < type.levels && next < missing.size(); ++level) {
            const bool taken = std::any_of(
                bindings_.begin(), bindings_.end(),
                [&](const Binding& b) { return b.keycode == keycode && b.level == level; });
            if (!taken) {
                bindings_.push_back(Binding{keycode, level, missing[next++], Clock::now()});
                changed.insert(keycode);
            }
        }
    }
    // Then the levels unused longest that hold no wanted character: all that are needed once
    // the receiving program has caught up; else those whose hold is over, or, while the
    // character needed first is still unbound, as many as needed once their hold is over, so
    // that the stretch after a wait is bound with one change again.
    if (next < missing.size()) {
        std::vector<Binding*> victims;
        for (Binding& b : bindings_) {
            if (!isWanted(b.character)) {
                victims.push_back(&b);
            }
        }
        std::sort(victims.begin(), victims.end(),
                  [](const Binding* a, const Binding* b) { return a->lastUsed < b->lastUsed; });
        victims.resize(std::min(victims.size(), missing.size() - next));
        const bool free = victims.empty() || caughtUp();
        if (!free && next > 0) {
            const auto held = std::find_if(victims.begin(), victims.end(), [](const Binding* b) {
                return b->lastUsed + kHold > Clock::now();
            });
            victims.erase(held, victims.end());
        } else if (!free) {
            const Clock::time_point freeAt = victims.back()->lastUsed + kHold;
            while (Clock::now() < freeAt && !cancelled) {
                std::this_thread::sleep_for(kWaitStep);
            }
            if (cancelled) {
                victims.clear();
            }
        }
        for (Binding* victim : victims) {
            victim->character = missing[next++];
            victim->lastUsed = Clock::now();
            changed.insert(victim->keycode);
        }
    }
    if (!changed.empty()) {
        apply(display, desc, keymap, changed);
    }
}

void X11BorrowedKeys::touch(char32_t c) {
    for (Binding& b : bindings_) {
        if (b.character == c) {
            b.lastUsed = Clock::now();
        }
    }
}

bool X11BorrowedKeys::release(Display* display, XkbDescPtr desc, const X11Keymap& keymap,
                              Clock::time_point usedBefore) {
    std::set<KeyCode> changed;
    const auto end = std::remove_if(bindings_.begin(), bindings_.end(), [&](const Binding& b) {
        if (b.lastUsed >= usedBefore) {
            return false;
        }
        changed.insert(b.keycode);
        return true;
    });
    bindings_.erase(end, bindings_.end());
    return !changed.empty() && apply(display, desc, keymap, changed);
}

bool X11BorrowedKeys::anyUnusedSince(Clock::time_point usedBefore) const {
    return std::any_of(bindings_.begin(), bindings_.end(),
                       [usedBefore](const Binding& b) { return b.lastUsed < usedBefore; });
}

void X11BorrowedKeys::forgetLost(XkbDescPtr desc) {
    const auto lost = [desc](const Binding& b) {
        return XkbKeyNumGroups(desc, b.keycode) != 1 ||
               b.level >= XkbKeyGroupWidth(desc, b.keycode, 0) ||
               XkbKeySymEntry(desc, b.keycode, b.level, 0) != keysymForCodePoint(b.character);
    };
    bindings_.erase(std::remove_if(bindings_.begin(), bindings_.end(), lost), bindings_.end());
}

std::set<KeyCode> X11BorrowedKeys::keycodes() const {
    std::set<KeyCode> keycodes;
    for (const Binding& b : bindings_) {
        keycodes.insert(b.keycode);
    }
    return keycodes;
}

// The keys from the lowest to the highest changed keycode go in one request; those between
// them are sent back as desc holds them, which is how the server has them.
bool X11BorrowedKeys::apply(Display* display, XkbDescPtr desc, const X11Keymap& keymap,
                            const std::set<KeyCode>& keycodes) const {
    const SlotType type = slotType(desc, keymap.levelThree());
    for (const KeyCode keycode : keycodes) {
        std::vector<KeySym> symbols(static_cast<size_t>(std::max(type.levels, 1)), NoSymbol);
        bool any = false;
        for (const Binding& b : bindings_) {
            if (b.keycode == keycode && b.level < type.levels) {
                symbols[static_cast<size_t>(b.level)] = keysymForCodePoint(b.character);
                any = true;
            }
        }
        XkbSymMapRec& map = desc->map->key_sym_map[keycode];
        if (!any) {
            XkbResizeKeySyms(desc, keycode, 0);
            map.group_info = XkbSetGroupInfo(0, XkbWrapIntoRange, 0);
            map.width = 0;
            continue;
        }
        KeySym* out = XkbResizeKeySyms(desc, keycode, type.levels);
        if (out == nullptr) {
            return false;
        }
        std::copy(symbols.begin(), symbols.end(), out);
        map.kt_index[0] = static_cast<unsigned char>(type.index);
        map.group_info = XkbSetGroupInfo(1, XkbWrapIntoRange, 0);
        map.width = static_cast<unsigned char>(type.levels);
    }
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = *keycodes.begin();
    changes.num_key_syms = static_cast<unsigned char>(*keycodes.rbegin() - *keycodes.begin() + 1);
    const bool sent = XkbChangeMap(display, desc, &changes) != 0;
    XSync(display, False);
    return sent;
}
