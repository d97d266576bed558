// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_E2E_APP_SESSION_H
#define OSTRELSCAN_TESTS_E2E_APP_SESSION_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <string>

#include "sim_tree.h"

/// The real ostrelscan as a user meets it: started in a working folder that holds the
/// engine settings (and, when a test writes one, "Oconfig.ini"), with the simulated scanner
/// preloaded under it, on the X display whose tray host it docks into. Driven from outside,
/// through the tray icon, the window's widgets and the keyboard.
class AppSession {
public:
    AppSession();
    ~AppSession();

    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    telosim::SimTree& sim() { return tree_; }
    void writeSettings(const std::string& text);

    /// Starts a copy and waits for its tray icon; false when no icon appeared.
    bool start();
    /// Starts a copy in the Wayland session that waylandClient (a client's environment)
    /// names, without X (on Qt's offscreen platform), and waits until it has chosen its
    /// keyboard output; false when it did not.
    bool startIn(const QProcessEnvironment& waylandClient);
    /// Starts another copy beside the first one, in the same folder and simulation.
    std::unique_ptr<QProcess> startAnother();
    bool running() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    /// Waits for the process to end; its exit code, or -1 when it did not end or crashed.
    int waitForExit(std::chrono::milliseconds timeout);

    /// Clicks the tray icon and waits for the window; its id, empty when it did not appear.
    QString openWindow();
    /// "退出" from the tray icon's menu.
    void exitThroughTray();

    /// Shows an image (from tests/data, or a path) to the scanner.
    void show(const std::string& image);

    /// What the process wrote to standard output and standard error so far.
    QString output();

private:
    void configure(QProcess& process) const;

    QTemporaryDir folder_;
    telosim::SimTree tree_;
    QProcess process_;
    QString output_;
    QString trayIcon_;
};

#endif
