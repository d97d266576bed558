#include "window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <fstream>
#include <thread>

#include "fake_telo.h"
#include "recording_keyboard.h"
#include "timeline.h"

namespace {

QStringList* capturedDebugLines = nullptr;

void captureDebugLine(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg && capturedDebugLines != nullptr) {
        capturedDebugLines->append(text);
    }
}

}  // namespace

void WindowTest::SetUp() {
    fake_telo::reset();
    Timeline::instance().clear();
    ASSERT_TRUE(folder_.isValid());
    previousFolder_ = QDir::currentPath();
    QDir::setCurrent(folder_.path());
    capturedDebugLines = &debugLines;
    qInstallMessageHandler(captureDebugLine);
}

void WindowTest::TearDown() {
    endWindow();
    qInstallMessageHandler(nullptr);
    capturedDebugLines = nullptr;
    QDir::setCurrent(previousFolder_);
    EXPECT_EQ(fake_telo::faults(), std::vector<std::string>{});
}

void WindowTest::writeSettingsFile(const std::string& text) {
    std::ofstream(folder_.filePath("Oconfig.ini").toStdString()) << text;
}

void WindowTest::startWindow() {
    window = std::make_unique<MainWindow>(scanSettings, std::make_unique<RecordingKeyboard>());
    // Message boxes run their own event loop; answer each one as it appears.
    auto* answerer = new QTimer(window.get());
    QObject::connect(answerer, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        messageBoxes << box->windowTitle() + "|" + box->text();
        box->button(QMessageBox::Ok)->click();
    });
    answerer->start(10);
}

void WindowTest::endWindow() {
    window.reset();
}

void WindowTest::connectScanner() {
    fake_telo::setPlugged(true);
    ASSERT_TRUE(waitUntil([this] { return widget<QLabel>("statelable")->text() == "connect"; }));
    // The reports that follow "connect" (symbologies, then the LED after its 200 ms pause).
    const auto settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    waitUntil([&] { return std::chrono::steady_clock::now() > settled; });
}

void WindowTest::click(const char* name) {
    auto* button = widget<QAbstractButton>(name);
    button->click();
}

std::map<QString, QString> WindowTest::storedKeys() const {
    QSettings file(folder_.filePath("Oconfig.ini"), QSettings::IniFormat);
    std::map<QString, QString> keys;
    for (const QString& key : file.allKeys()) {
        keys[key] = file.value(key).toString();
    }
    return keys;
}

bool WindowTest::waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
