// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_WINDOW_FIXTURE_H
#define OSTRELSCAN_TESTS_WINDOW_FIXTURE_H

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "main_window.h"
#include "scan_settings.h"

/// A main window over the scripted library and a recording keyboard, started in a working
/// folder of its own, with helpers to read its widgets and its settings file and a record of
/// the message boxes it shows (each answered with Ok).
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Writes Oconfig.ini before the window starts.
    void writeSettingsFile(const std::string& text);
    void startWindow(bool keyboardWorks = true, const std::string& keyboardNotice = {});
    void endWindow() { window.reset(); }
    /// Plugs the scanner in and waits until the window shows "connect" and its reports
    /// after it (symbologies, then the LED after its pause) are through.
    void connectScanner();
    /// Unplugs the scanner and waits until the window shows "disconnect".
    void unplug();

    template <typename Widget>
    Widget* widget(const char* name) {
        auto* found = window->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QCheckBox* box(const char* name) { return widget<QCheckBox>(name); }
    QString label(const char* name) { return widget<QLabel>(name)->text(); }
    /// A click as the user makes it, which fires the clicked signal.
    void click(const char* name);

    /// The settings file's keys and values as the next start would read them.
    std::map<QString, QString> storedKeys() const;

    /// Processes events until done() holds or timeoutMs have passed.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

    ScanSettings scanSettings;
    std::unique_ptr<MainWindow> window;
    QStringList messageBoxes;  ///< "title|text" of every box shown

private:
    QTemporaryDir folder_;
    QString previousFolder_;
};

#endif
