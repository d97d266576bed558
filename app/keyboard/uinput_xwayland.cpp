// SPDX-License-Identifier: MIT
#include "keyboard/uinput_xwayland.h"

#include <poll.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How long the compositor may take to ask for the new selection, and a program to fetch it
// after the paste key.
constexpr std::chrono::milliseconds kTakeOverTimeout{500};
constexpr std::chrono::milliseconds kFetchTimeout{1000};
// The compositor offers the new selection to the focused program once its question is
// answered, and the program must hold that offer before the paste key comes, or it pastes the
// clipboard's previous content. A program inserts the text a moment after it fetched it, and
// keys typed meanwhile would come first.
constexpr std::chrono::milliseconds kTakeOverSettle{50};
constexpr std::chrono::milliseconds kInsertSettle{50};

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct StateDeleter {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
struct ConnectionDeleter {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
// Replies and events come from malloc.
struct FreeDeleter {
    void operator()(void* memory) const { std::free(memory); }
};
using EventPtr = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

}  // namespace

class UinputXWayland::Connection {
public:
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> xcb;
    std::unique_ptr<xkb_context, ContextDeleter> context;
    int32_t device = -1;

    bool paste(const std::string& text, const std::function<bool()>& pressPasteKey);

private:
    xcb_connection_t* connection() const { return xcb.get(); }
    /// Creates the window that owns the selections and interns the atoms, once.
    void prepare();
    xcb_atom_t intern(const char* name) const;
    /// The server's time now, from a property change on the window; 0 when none came.
    xcb_timestamp_t serverTime();
    /// The next event, waiting until deadline; null when none came.
    EventPtr nextEvent(Clock::time_point deadline) const;
    /// Answers requests for the selections until one comes (one for the text when
    /// forTheText), the deadline passes (false) or another client takes a selection (false).
    bool serveUntil(Clock::time_point deadline, bool forTheText);
    /// Answers one request; true when it fetched the text.
    bool answer(const xcb_selection_request_event_t& request);

    xcb_window_t window_ = XCB_NONE;
    xcb_atom_t clipboard_ = XCB_NONE;
    xcb_atom_t targets_ = XCB_NONE;
    xcb_atom_t timestamp_ = XCB_NONE;
    std::vector<xcb_atom_t> textTargets_;
    std::string text_;
    xcb_timestamp_t time_ = 0;
};

void UinputXWayland::Connection::prepare() {
    if (window_ != XCB_NONE) {
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection())).data;
    window_ = xcb_generate_id(connection());
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection(), XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    clipboard_ = intern("CLIPBOARD");
    targets_ = intern("TARGETS");
    timestamp_ = intern("TIMESTAMP");
    textTargets_ = {intern("UTF8_STRING"), intern("text/plain;charset=utf-8"), intern("TEXT")};
}

xcb_atom_t UinputXWayland::Connection::intern(const char* name) const {
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
        connection(),
        xcb_intern_atom(connection(), 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

EventPtr UinputXWayland::Connection::nextEvent(Clock::time_point deadline) const {
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(connection())) {
            return EventPtr(event);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(connection()) != 0) {
            return nullptr;
        }
        pollfd readable{xcb_get_file_descriptor(connection()), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left.count()));
    }
}

xcb_timestamp_t UinputXWayland::Connection::serverTime() {
    xcb_change_property(connection(), XCB_PROP_MODE_APPEND, window_, timestamp_, XCB_ATOM_INTEGER,
                        32, 0, nullptr);
    xcb_flush(connection());
    const Clock::time_point deadline = Clock::now() + kTakeOverTimeout;
    while (const EventPtr event = nextEvent(deadline)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            return reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->time;
        }
    }
    return 0;
}

bool UinputXWayland::Connection::answer(const xcb_selection_request_event_t& request) {
    xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    bool fetched = false;
    if (request.target == targets_) {
        std::vector<xcb_atom_t> offered = {targets_, timestamp_};
        offered.insert(offered.end(), textTargets_.begin(), textTargets_.end());
        xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_ATOM, 32, static_cast<uint32_t>(offered.size()),
                            offered.data());
    } else if (request.target == timestamp_) {
        xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, request.requestor, property,
                            XCB_ATOM_INTEGER, 32, 1, &time_);
    } else if (std::find(textTargets_.begin(), textTargets_.end(), request.target) !=
               textTargets_.end()) {
        // TEXT is answered in UTF-8 as well.
        const xcb_atom_t type =
            request.target == textTargets_[2] ? textTargets_[0] : request.target;
        xcb_change_property(connection(), XCB_PROP_MODE_REPLACE, request.requestor, property, type,
                            8, static_cast<uint32_t>(text_.size()), text_.data());
        fetched = true;
    } else {
        property = XCB_NONE;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(connection(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(connection());
    return fetched;
}

bool UinputXWayland::Connection::serveUntil(Clock::time_point deadline, bool forTheText) {
    while (const EventPtr event = nextEvent(deadline)) {
        switch (event->response_type & 0x7F) {
            case XCB_SELECTION_REQUEST: {
                const bool fetched =
                    answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event.get()));
                if (fetched || !forTheText) {
                    return true;
                }
                break;
            }
            case XCB_SELECTION_CLEAR:
                return false;
            default:
                break;
        }
    }
    return false;
}

bool UinputXWayland::Connection::paste(const std::string& text,
                                       const std::function<bool()>& pressPasteKey) {
    prepare();
    text_ = text;
    time_ = serverTime();
    if (time_ == 0) {
        return false;
    }
    // Terminals paste the primary selection on Shift+Insert, other programs the clipboard.
    for (const xcb_atom_t selection : {clipboard_, xcb_atom_t{XCB_ATOM_PRIMARY}}) {
        xcb_set_selection_owner(connection(), window_, selection, time_);
    }
    const std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> owner(
        xcb_get_selection_owner_reply(connection(),
                                      xcb_get_selection_owner(connection(), clipboard_), nullptr));
    bool pasted =
        owner && owner->owner == window_ && serveUntil(Clock::now() + kTakeOverTimeout, false);
    if (pasted) {
        std::this_thread::sleep_for(kTakeOverSettle);
        pasted = pressPasteKey() && serveUntil(Clock::now() + kFetchTimeout, true);
    }
    if (pasted) {
        serveUntil(Clock::now() + kInsertSettle, true);
    }
    for (const xcb_atom_t selection : {clipboard_, xcb_atom_t{XCB_ATOM_PRIMARY}}) {
        xcb_set_selection_owner(connection(), XCB_NONE, selection, time_);
    }
    xcb_flush(connection());
    return pasted;
}

std::unique_ptr<UinputXWayland> UinputXWayland::connect() {
    auto connection = std::make_unique<Connection>();
    connection->xcb.reset(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection->xcb.get()) != 0 ||
        !xkb_x11_setup_xkb_extension(
            connection->xcb.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
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
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(connection_->context.get(), connection_->xcb.get(),
                                       connection_->device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        return keyboard;
    }
    keyboard.keymap = std::shared_ptr<xkb_keymap>(keymap, xkb_keymap_unref);
    const std::unique_ptr<xkb_state, StateDeleter> state(
        xkb_x11_state_new_from_device(keymap, connection_->xcb.get(), connection_->device));
    if (state) {
        keyboard.group = xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
        keyboard.locks.capsLock =
            xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_CAPS, XKB_STATE_MODS_LOCKED) > 0;
        keyboard.locks.numLock =
            xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_NUM, XKB_STATE_MODS_LOCKED) > 0;
    }
    return keyboard;
}

bool UinputXWayland::paste(const std::string& text, const std::function<bool()>& pressPasteKey) {
    return connection_->paste(text, pressPasteKey);
}
