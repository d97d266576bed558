// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_UNIT_APP_X_TOOLS_H
#define OSTRELSCAN_TESTS_UNIT_APP_X_TOOLS_H

#include <QString>
#include <QStringList>

#include <chrono>

/// What a user does and sees on the X display, done with xdotool and xprop: finding
/// windows, moving the pointer, clicking and pressing keys through XTest.
namespace xtools {

/// Runs program; its standard output, empty when it failed.
QString run(const QString& program, const QStringList& arguments);

/// Visible windows whose name or class (a regular expression) matches, newest last.
QStringList visibleWindows(const QString& option, const QString& pattern);

/// Waits up to timeout for a visible window matching pattern; empty when none came.
QString waitForWindow(const QString& option, const QString& pattern,
                      std::chrono::milliseconds timeout);

/// Gives the window the input focus; true once it has it.
bool focus(const QString& window);

/// A click of button at the middle of the window.
void clickCentre(const QString& window, int button = 1);

/// Presses keys ("Return", "ctrl+a", ...) in whatever has the focus.
void key(const QString& keys);

/// Whether the window carries an icon for the window manager and task bar.
bool hasIcon(const QString& window);

}  // namespace xtools

#endif
