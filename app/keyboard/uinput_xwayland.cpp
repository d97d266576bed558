#include "keyboard/uinput_xwayland.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace {

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
struct ConnectionDeleter {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

}  // namespace

class UinputXWayland::Connection {
public:
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> xcb;
    std::unique_ptr<xkb_context, ContextDeleter> context;
    int32_t device = -1;
};

std::unique_ptr<UinputXWayland> UinputXWayland::connect() {
    auto connection = std::make_unique<Connection>();
    connection->xcb.reset(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection->xcb.get()) != 0 ||
        !xkb_x11_setup_xkb_extension(connection->xcb.get(), XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                     nullptr, nullptr)) {
        return nullptr;
    }
    connection->device = xkb_x11_get_core_keyboard_device_id(connection->xcb.get());
    connection->context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (connection->device < 0 || !connection->context) {
        return nullptr;
    }
    return std::unique_ptr<UinputXWayland>(new UinputXWayland(std::move(connection)));
}

UinputXWayland::UinputXWayland(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

UinputXWayland::~UinputXWayland() = default;

UinputXWayland::Keyboard UinputXWayland::keyboard() const {
    Keyboard keyboard;
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(
        connection_->context.get(), connection_->xcb.get(), connection_->device,
        XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        return keyboard;
    }
    keyboard.keymap = std::shared_ptr<xkb_keymap>(keymap, xkb_keymap_unref);
    const std::unique_ptr<xkb_state, StateDeleter> state(
        xkb_x11_state_new_from_device(keymap, connection_->xcb.get(), connection_->device));
    if (state) {
        keyboard.group = xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
        keyboard.locks.capsLock = xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_CAPS,
                                                               XKB_STATE_MODS_LOCKED) > 0;
        keyboard.locks.numLock = xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_NUM,
                                                              XKB_STATE_MODS_LOCKED) > 0;
    }
    return keyboard;
}
