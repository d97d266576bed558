#ifndef OSTRELSCAN_TESTS_TEXT_RECEIVER_H
#define OSTRELSCAN_TESTS_TEXT_RECEIVER_H

#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <string>

class SwaySession;
class X11Receiver;

/// A program people type into, running on the X display with the input focus, and the text
/// it shows: a Qt 5 QPlainTextEdit, a GTK 3 GtkTextView, xterm with `cat` reading its
/// terminal raw, or a bare Xlib window (X11Receiver). The Qt and GTK programs also run as
/// native Wayland clients of a SwaySession.
class TextReceiver {
public:
    enum class Toolkit { Xlib, Qt, Gtk, Xterm };

    explicit TextReceiver(Toolkit toolkit, const SwaySession* compositor = nullptr);
    ~TextReceiver();

    TextReceiver(const TextReceiver&) = delete;
    TextReceiver& operator=(const TextReceiver&) = delete;

    Toolkit toolkit() const { return toolkit_; }
    /// True once the program shows its window and has the input focus.
    bool ready() const { return ready_; }

    /// Everything received so far, UTF-8, as the program shows it: Return is a line break
    /// in the text fields and "\r" in xterm and the Xlib window; xterm's cursor keys, which
    /// leave a line as it was, are left out.
    std::string text() const;

    /// Waits until text() has at least `bytes` bytes and ends with `ending`, or the timeout
    /// passes; returns text().
    std::string waitForEnding(size_t bytes, const std::string& ending,
                              std::chrono::milliseconds timeout) const;

private:
    bool startProgram();

    Toolkit toolkit_;
    const SwaySession* compositor_;
    bool ready_ = false;
    std::unique_ptr<X11Receiver> xlib_;
    QTemporaryDir folder_;
    QProcess process_;
};

#endif
