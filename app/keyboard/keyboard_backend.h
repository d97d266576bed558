// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_KEYBOARD_BACKEND_H
#define OSTRELSCAN_KEYBOARD_KEYBOARD_BACKEND_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "keyboard/keystrokes.h"

/// One platform's facility for injecting keyboard events into the focused window. Only one
/// thread at a time types through a back end; cancel() may come from any thread.
class KeyboardBackend {
public:
    virtual ~KeyboardBackend() = default;

    /// False when the facility cannot inject anything (for instance no display).
    virtual bool isAvailable() const = 0;

    /// Types strokes in order so that the focused window receives exactly them, whatever
    /// lock and modifier state the keyboard is in; lock and modifier state are left as they
    /// were. Returns the number of strokes that could not be typed. Once cancel() was called
    /// it returns between two strokes, leaving the rest untyped and uncounted.
    virtual size_t type(const std::vector<Keystroke>& strokes) = 0;

    /// Ends the current type() early and makes later calls type nothing.
    virtual void cancel() = 0;

    /// Called while no output is in progress; undoes temporary changes that typing made to
    /// the system (such as keys bound to characters the layout lacks) once no client can
    /// need them any more.
    virtual void idle() {}

    /// What the user is to be told once about where typed keys can go (UTF-8); empty when
    /// there is nothing to tell.
    const std::string& notice() const { return notice_; }
    void setNotice(std::string notice) { notice_ = std::move(notice); }

private:
    std::string notice_;
};

#endif
