// SPDX-License-Identifier: MIT
#include "window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <chrono>
#include <fstream>
#include <thread>

#include "fake_telo.h"
#include "recording_keyboard.h"
#include "timeline.h"
#include "wait_until.h"

void WindowTest::SetUp() {
    fake_telo::reset();
    Timeline::instance().clear();
    ASSERT_TRUE(folder_.isValid());
    previousFolder_ = QDir::currentPath();
    QDir::setCurrent(folder_.path());
}

void WindowTest::TearDown() {
    endWindow();
    QDir::setCurrent(previousFolder_);
    EXPECT_EQ(fake_telo::faults(), std::vector<std::string>{});
}

void WindowTest::writeSettingsFile(const std::string& text) {
    std::ofstream(folder_.filePath("Oconfig.ini").toStdString()) << text;
}

void WindowTest::startWindow(bool keyboardWorks, const std::string& keyboardNotice) {
    auto keyboard = std::make_unique<RecordingKeyboard>();
    keyboard->available = keyboardWorks;
    keyboard->setNotice(keyboardNotice);
    window = std::make_unique<MainWindow>(scanSettings, std::move(keyboard));
    // Message boxes run their own event loop or none; answer each one as it appears.
    auto* answerer = new QTimer(window.get());
    QObject::connect(answerer, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible()) {
            messageBoxes << box->windowTitle() + "|" + box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    answerer->start(10);
}

void WindowTest::connectScanner() {
    fake_telo::setPlugged(true);
    ASSERT_TRUE(waitUntil([this] { return label("statelable") == "connect"; }));
    waitUntil([] { return false; }, 400);
}

void WindowTest::unplug() {
    fake_telo::setPlugged(false);
    ASSERT_TRUE(waitUntil([this] { return label("statelable") == "disconnect"; }));
}

void WindowTest::click(const char* name) {
    widget<QAbstractButton>(name)->click();
}

std::map<QString, QString> WindowTest::storedKeys() const {
    QSettings file(folder_.filePath("Oconfig.ini"), QSettings::IniFormat);
    std::map<QString, QString> keys;
    for (const QString& key : file.allKeys()) {
        keys[key] = file.value(key).toString();
    }
    return keys;
}

bool WindowTest::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return ::waitUntil(
        [&] {
            QApplication::processEvents();
            return done();
        },
        std::chrono::milliseconds(timeoutMs));
}
