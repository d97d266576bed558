// SPDX-License-Identifier: MIT
#include "keyboard/system_keyboard.h"

#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <string>

#include "keyboard/uinput_keyboard.h"
#include "keyboard/wayland_keyboard.h"
#include "keyboard/x11_keyboard.h"

namespace {

const char* const kXWaylandOnly =
    "Wayland 会话：混成器不提供虚拟键盘，/dev/uinput 也不可写，扫描到的条码只会输入到在 "
    "XWayland 下运行的 X11 程序中。要输入到所有程序，请启用 ostrelscan 的 uinput udev 规则"
    "（71-ostrelscan-uinput.rules，见 README 的“Wayland 会话”一节），然后重新登录。";
const char* const kNoOutput =
    "无法模拟键盘输入：Wayland 混成器不提供虚拟键盘，/dev/uinput 不可写，也没有 XWayland，"
    "扫描到的条码不会被输入。请启用 ostrelscan 的 uinput udev 规则"
    "（71-ostrelscan-uinput.rules，见 README 的“Wayland 会话”一节），然后重新登录。";

bool isWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (session != nullptr && std::strcmp(session, "wayland") == 0);
}

}  // namespace

// An X11 session types through XTest. A Wayland session prefers the compositor's virtual
// keyboard, then a uinput device, then XTest, which reaches XWayland's programs only.
std::unique_ptr<KeyboardBackend> createSystemKeyboard() {
    if (!isWaylandSession()) {
        auto keyboard = std::make_unique<X11Keyboard>();
        if (keyboard->isAvailable()) {
            qInfo("Keyboard output: XTest on the X display.");
        }
        return keyboard;
    }
    std::string noVirtualKeyboard;
    if (auto keyboard = WaylandKeyboard::connect(noVirtualKeyboard)) {
        qInfo("Keyboard output: the Wayland compositor's virtual keyboard.");
        return keyboard;
    }
    std::string noUinput;
    if (auto keyboard = UinputKeyboard::create(noUinput)) {
        qInfo("Keyboard output: a uinput keyboard with the layout %s (%s).",
              keyboard->layoutName().c_str(), noVirtualKeyboard.c_str());
        return keyboard;
    }
    qWarning("Keyboard output: XTest, which reaches only X11 programs under XWayland (%s; %s).",
             noVirtualKeyboard.c_str(), noUinput.c_str());
    auto keyboard = std::make_unique<X11Keyboard>();
    keyboard->setNotice(keyboard->isAvailable() ? kXWaylandOnly : kNoOutput);
    return keyboard;
}
