// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_TEXT_RECEIVER_H
#define OSTRELSCAN_TESTS_TEXT_RECEIVER_H

#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <string>

struct _XDisplay;
class SwaySession;

/// XOpenDisplay on DISPLAY, tried a few times: Xvfb refuses a few percent of connections.
_XDisplay* openDisplay();

/// A program people type into, running on the X display with the input focus, and the text
/// it shows: a Qt 5 QPlainTextEdit, a GTK 3 GtkTextView, or xterm with `cat` reading its
/// terminal raw. The Qt and GTK programs also run as native Wayland clients of a SwaySession.
class TextReceiver {
public:
    enum class Toolkit { Qt, Gtk, Xterm };

    explicit TextReceiver(Toolkit toolkit, const SwaySession* compositor = nullptr);
    ~TextReceiver();

    TextReceiver(const TextReceiver&) = delete;
    TextReceiver& operator=(const TextReceiver&) = delete;

    Toolkit toolkit() const { return toolkit_; }
    /// True once the program shows its window and has the input focus.
    bool ready() const { return ready_; }

    /// What arrived since the start or the last clear(), UTF-8, as the program shows it:
    /// Return is a line break in the text fields and "\r" in xterm;
    /// xterm's cursor keys, which leave a line as it was, are left out.
    std::string text() const;
    void clear() { mark_ = allText().size(); }

    /// Waits until text() has at least `characters` characters, or the timeout; text().
    std::string waitForCharacters(size_t characters, std::chrono::milliseconds timeout) const;
    /// Waits until text() has not changed for quiet; text().
    std::string settle(std::chrono::milliseconds quiet) const;

private:
    std::string allText() const;

    Toolkit toolkit_;
    bool ready_ = false;
    size_t mark_ = 0;
    QTemporaryDir folder_;
    QProcess process_;
};

#endif
