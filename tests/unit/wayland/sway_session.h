// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SWAY_SESSION_H
#define OSTRELSCAN_TESTS_SWAY_SESSION_H

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

/// A headless Sway compositor of its own, without XWayland, in a private runtime folder. Sway
/// refuses to run as root, so under root it runs as nobody; its clients may be root.
class SwaySession {
public:
    SwaySession();
    ~SwaySession();

    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    /// True once the compositor listens on its socket.
    bool ready() const { return !socket_.isEmpty(); }

    /// The environment of a client of this compositor: the process's own without DISPLAY, with
    /// XDG_RUNTIME_DIR and WAYLAND_DISPLAY naming the compositor.
    QProcessEnvironment clientEnvironment() const;
    /// Makes this process a client, for back ends created in it.
    void enter() const;

    /// Gives the keyboard focus to the window titled title; false when there is none.
    bool focus(const QString& title) const;

private:
    // In /tmp, which nobody can reach whatever TMPDIR says.
    QTemporaryDir runtime_{"/tmp/sway-runtime-XXXXXX"};
    QProcess sway_;
    QString socket_;
    QString ipcSocket_;
};

#endif
