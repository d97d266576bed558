#include "keyboard/system_keyboard.h"

#include "keyboard/x11_keyboard.h"

std::unique_ptr<KeyboardBackend> createSystemKeyboard() {
    return std::make_unique<X11Keyboard>();
}
