// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_RECORDING_KEYBOARD_H
#define OSTRELSCAN_TESTS_RECORDING_KEYBOARD_H

#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

#include "keyboard/keyboard_backend.h"
#include "timeline.h"

/// A keyboard back end that writes its keystrokes to the Timeline: runs of characters as one
/// "type:<UTF-8 text>" event, control characters as "Ctrl+<character>", named keys as
/// "Left down", "Left up", "Return down" and so on.
class RecordingKeyboard final : public KeyboardBackend {
public:
    bool available = true;
    bool acceptKeys = true;                   ///< whether named keys are typed
    std::chrono::microseconds strokeTime{0};  ///< how long each keystroke takes

    bool isAvailable() const override { return available; }

    size_t type(const std::vector<Keystroke>& strokes) override {
        size_t failed = 0;
        for (const Keystroke& stroke : strokes) {
            if (cancelled) {
                break;
            }
            std::this_thread::sleep_for(strokeTime);
            const std::string c = QString::fromUcs4(&stroke.character, 1).toStdString();
            switch (stroke.kind) {
                case Keystroke::Kind::kCharacter:
                    Timeline::instance().extend("type:", c);
                    break;
                case Keystroke::Kind::kControl:
                    Timeline::instance().add("Ctrl+" + c);
                    break;
                case Keystroke::Kind::kKey:
                    for (const char* edge : {" down", " up"}) {
                        const char* names[] = {"Left", "Right", "Return", "Tab"};
                        Timeline::instance().add(names[static_cast<int>(stroke.key)] +
                                                 std::string(edge));
                    }
                    failed += acceptKeys ? 0 : 1;
                    break;
            }
        }
        return failed;
    }

    void cancel() override { cancelled = true; }

    std::atomic<bool> cancelled{false};
};

#endif
