// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_X11_FOCUS_PING_H
#define OSTRELSCAN_KEYBOARD_X11_FOCUS_PING_H

#include <X11/Xlib.h>

#include <atomic>
#include <functional>

/// Sends the focused top-level window the window manager's ping (_NET_WM_PING) and waits
/// until its program answers, which it does once it has handled every event sent to it
/// before: then no key event typed so far is still waiting to be translated. False when the
/// window does not take part in the protocol, does not answer within five seconds, or cancelled
/// is set first. The answer comes to the root window, whose substructure events display
/// must select; every other event read meanwhile goes to other.
bool pingFocusedClient(Display* display, const std::atomic<bool>& cancelled,
                       const std::function<void(const XEvent&)>& other);

#endif
