// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_KEYBOARD_SYSTEM_KEYBOARD_H
#define OSTRELSCAN_KEYBOARD_SYSTEM_KEYBOARD_H

#include <memory>

#include "keyboard/keyboard_backend.h"

/// The keyboard back end of the platform the application runs on. Never null; when the
/// platform's facility is unusable the back end reports isAvailable() false.
std::unique_ptr<KeyboardBackend> createSystemKeyboard();

#endif
