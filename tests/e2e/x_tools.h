#ifndef OSTRELSCAN_TESTS_E2E_X_TOOLS_H
#define OSTRELSCAN_TESTS_E2E_X_TOOLS_H

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>

/// What a user does on the X display, done with xdotool: finding windows, moving the pointer,
/// clicking and typing through XTest.
namespace xtools {

/// Runs xdotool; its standard output, empty when it failed.
QString xdotool(const QStringList& arguments);

/// Visible windows whose name or class (a regular expression) matches, newest last.
QStringList visibleWindows(const QString& option, const QString& pattern);

/// Waits up to timeout for a visible window matching pattern; empty when none came.
QString waitForWindow(const QString& option, const QString& pattern,
                      std::chrono::milliseconds timeout);

/// The window's position and size on the screen.
QRect geometry(const QString& window);

/// A click of button at a point given relative to the window's top-left corner.
void clickAt(const QString& window, const QPoint& point, int button = 1);

/// Types text into whatever has the focus, and presses keys ("Return", "ctrl+a", ...).
void type(const QString& text);
void key(const QString& keys);

}  // namespace xtools

#endif
