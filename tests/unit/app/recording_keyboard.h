#ifndef OSTRELSCAN_TESTS_RECORDING_KEYBOARD_H
#define OSTRELSCAN_TESTS_RECORDING_KEYBOARD_H

#include <QString>

#include "keyboard/keyboard_backend.h"
#include "timeline.h"

/// A keyboard back end that writes its events to the Timeline: runs of characters as one
/// "type:<UTF-8 text>" event, named keys as "Left down", "Return up" and so on.
class RecordingKeyboard final : public KeyboardBackend {
public:
    bool available = true;
    bool acceptKeys = true;  ///< result of sendKey

    bool isAvailable() const override { return available; }

    bool typeCharacter(char32_t codePoint) override {
        Timeline::instance().extend("type:", QString::fromUcs4(&codePoint, 1).toStdString());
        return true;
    }

    bool sendKey(Key key, bool down) override {
        const char* name = key == Key::Left ? "Left" : key == Key::Right ? "Right" : "Return";
        Timeline::instance().add(std::string(name) + (down ? " down" : " up"));
        return acceptKeys;
    }
};

#endif
