#ifndef OSTRELSCAN_TESTS_WINDOW_FIXTURE_H
#define OSTRELSCAN_TESTS_WINDOW_FIXTURE_H

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "scan_settings.h"

/// A main window over the scripted library and a recording keyboard, started in a working
/// folder of its own, with helpers to read its widgets, its settings file, the debug lines it
/// writes and the message boxes it shows (which are answered with Ok).
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Writes lines into Oconfig.ini before the window starts.
    void writeSettingsFile(const std::string& text);
    void startWindow();
    void endWindow();
    /// Plugs the scanner in and waits until the window shows "connect".
    void connectScanner();

    template <typename Widget>
    Widget* widget(const char* name) {
        auto* found = window->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QCheckBox* box(const char* name) { return widget<QCheckBox>(name); }
    /// A click as the user makes it, which fires the clicked signal.
    void click(const char* name);

    /// The settings file's keys and values as the next start would read them.
    std::map<QString, QString> storedKeys() const;

    /// Processes events until done() holds or five seconds have passed.
    bool waitUntil(const std::function<bool()>& done);

    ScanSettings scanSettings;
    std::unique_ptr<MainWindow> window;
    QStringList debugLines;
    QStringList messageBoxes;  ///< "title|text" of every box shown

private:
    QTemporaryDir folder_;
    QString previousFolder_;
};

#endif
