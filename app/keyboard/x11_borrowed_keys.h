// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_X11_BORROWED_KEYS_H
#define OSTRELSCAN_KEYBOARD_X11_BORROWED_KEYS_H

#include <X11/XKBlib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <vector>

#include "keyboard/x11_keymap.h"

/// Characters the layout lacks, bound for the moment to the levels of free keycodes: four
/// per key (plain, Shift, level three, both) where the keymap has such a key type, so that a
/// whole stretch of text is bound with one keymap change.
///
/// Clients translate a key event with the keymap they hold when they read it, and many fetch
/// it again only on their next key event, so a binding stays unchanged until the receiving
/// program has caught up, or, when it cannot tell, for kHold after its last use: a slower
/// program must not find another character on the key it was sent.
class X11BorrowedKeys {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kHold{500};

    /// How many characters can be bound at once.
    size_t capacity(XkbDescPtr desc, const X11Keymap& keymap) const;

    /// Binds the characters of wanted (none of which the layout has, the one needed first
    /// first) that free levels allow, with one keymap change made on desc and sent through
    /// display. When every level is taken it asks caughtUp() whether the receiving program
    /// has translated every key sent so far, which frees them all, and else waits, unless
    /// cancelled, until the hold of enough levels is over.
    void bind(Display* display, XkbDescPtr desc, const X11Keymap& keymap,
              const std::vector<char32_t>& wanted, const std::atomic<bool>& cancelled,
              const std::function<bool()>& caughtUp);

    /// Marks the binding of c as just used.
    void touch(char32_t c);

    /// Unbinds, with one keymap change, every binding last used before usedBefore. True when
    /// the keymap changed.
    bool release(Display* display, XkbDescPtr desc, const X11Keymap& keymap,
                 Clock::time_point usedBefore);

    /// Forgets the bindings desc no longer holds (a new layout replaced them).
    void forgetLost(XkbDescPtr desc);

    bool empty() const { return bindings_.empty(); }
    bool anyUnusedSince(Clock::time_point usedBefore) const;
    std::set<KeyCode> keycodes() const;

private:
    struct Binding {
        KeyCode keycode = 0;
        int level = 0;
        char32_t character = 0;
        Clock::time_point lastUsed;
    };

    /// Writes the bindings of keycodes into desc and sends them with one keymap change.
    bool apply(Display* display, XkbDescPtr desc, const X11Keymap& keymap,
               const std::set<KeyCode>& keycodes) const;

    std::vector<Binding> bindings_;
};

#endif
