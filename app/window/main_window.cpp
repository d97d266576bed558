// SPDX-License-Identifier: MIT
#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include <chrono>
#include <thread>

#include "keyboard/keyboard_backend.h"
#include "keyboard/system_keyboard.h"
#include "main_window_form.h"
#include "scan_settings.h"
#include "telo.h"
#include "thread.h"

namespace {

// Blocks the GUI thread on purpose: the LED request needs this pause to reach the scanner (after
// a fresh connection, and before the handle goes at exit).
constexpr std::chrono::milliseconds kLedPause{200};

const char* bit(bool on) {
    return on ? "1" : "0";
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(scanSettings(), createSystemKeyboard(), parent) {}

MainWindow::MainWindow(ScanSettings& scanSettings, std::unique_ptr<KeyboardBackend> keyboard,
                       QWidget* parent)
    : QMainWindow(parent),
      scanSettings_(scanSettings),
      keyboard_(std::move(keyboard)),
      ui(std::make_unique<MainWindowForm>()) {
    // The window lives hidden in the tray: a message box closing then leaves no window
    // shown, which must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    ui->setup(this);
    ui->opendev->hide();
    // Without a tray host the window would be unreachable once hidden, so it is shown.
    if (trayReachable()) {
        smalllest();
    } else {
        show();
    }
    tellAboutKeyboard();
    loaded_ = readSettingsFile(kSettingsFileName);
    settings = std::make_unique<QSettings>(kSettingsFileName, QSettings::IniFormat);
    worker = std::make_unique<Thread>(scanSettings_, *keyboard_);
    connect(worker.get(), &Thread::returnResult, this, &MainWindow::displayResult);
    connect(worker.get(), &Thread::lightResult, this, &MainWindow::displaylightResult);
    connect(worker.get(), &Thread::deviceResult, this, &MainWindow::displaydeviceResult);
    setConfig();
}

MainWindow::~MainWindow() {
    worker->stop();
    worker->wait();
}

void MainWindow::store(const char* key, const QVariant& value) {
    settings->setValue(key, value);
    settings->sync();
}

void MainWindow::setConfig() {
    const std::pair<QCheckBox*, bool> symbologies[] = {
        {ui->qrcode, loaded_.qrcode},   {ui->ean8, loaded_.ean8},
        {ui->code39, loaded_.code39},   {ui->ean13, loaded_.ean13},
        {ui->itf, loaded_.itf},         {ui->code93, loaded_.code93},
        {ui->upce, loaded_.upce},       {ui->upca, loaded_.upca},
        {ui->pdf417, loaded_.pdf417},   {ui->code128, loaded_.code128},
        {ui->industrial25, loaded_.industrial25}, {ui->datamatrix, loaded_.datamatrix},
    };
    for (const auto& [box, ticked] : symbologies) {
        if (ticked) {
            box->setChecked(true);
        }
    }
    ui->backlightControl->setChecked(loaded_.backlight);
    scanSettings_.setBeep(loaded_.beep ? 1 : 0);
    ui->beepControl->setChecked(loaded_.beep);
    scanSettings_.setEnter(loaded_.enter);
    ui->enterBox->setChecked(loaded_.enter);
    if (loaded_.workmode == 1) {
        scanSettings_.setModes(true, false);
        ui->singlemode->setChecked(true);
    } else if (loaded_.workmode == 2) {
        scanSettings_.setModes(false, true);
        ui->intervalmode->setChecked(true);
    }
    scanSettings_.setWrap(loaded_.wrap);
    ui->wrapBox->setChecked(loaded_.wrap);
    if (!loaded_.prefix.isEmpty()) {
        scanSettings_.setPrefix(loaded_.prefix);
        ui->preedit->setText(loaded_.prefix);
    }
    if (!loaded_.suffix.isEmpty()) {
        scanSettings_.setSuffix(loaded_.suffix);
        ui->suffedit->setText(loaded_.suffix);
    }
    ui->interval->setText(QString::number(loaded_.interval));
    loaded_.prefix.clear();
    loaded_.suffix.clear();
    worker->start(QThread::InheritPriority);
}

// --- Tray and window events ---

bool MainWindow::trayReachable() const {
    return trayIcon != nullptr || QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::smalllest() {
    hide();
    if (trayIcon == nullptr) {
        buildTray();
    }
}

void MainWindow::buildTray() {
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(QIcon(kIconResource));
    trayIcon->setToolTip(QObject::tr("OstrelScan"));
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::on_activatedSysTrayIcon);
    showMainAction = new QAction(QObject::tr("主页面"), this);
    connect(showMainAction, &QAction::triggered, this, &MainWindow::on_showMainAction);
    exitAppAction = new QAction(QObject::tr("退出"), this);
    connect(exitAppAction, &QAction::triggered, this, &MainWindow::on_exitAppAction);
    trayMenu = new QMenu(this);
    trayMenu->addAction(showMainAction);
    trayMenu->addSeparator();
    trayMenu->addAction(exitAppAction);
    trayIcon->setContextMenu(trayMenu);
    trayIcon->show();
}

// Said once, where a tray user sees it: the program runs on but cannot type any code, or
// only into some programs.
void MainWindow::tellAboutKeyboard() {
    const QString title = QStringLiteral("OstrelScan");
    QString text = QString::fromStdString(keyboard_->notice());
    if (text.isEmpty() && keyboard_->isAvailable()) {
        return;
    }
    if (text.isEmpty()) {
        text = QStringLiteral(
            "无法模拟键盘输入（需要带 XTEST 扩展的 X11 显示），扫描到的条码不会被输入。");
    }
    if (trayIcon != nullptr) {
        trayIcon->showMessage(title, text, QSystemTrayIcon::Warning);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Without a tray, closing the window is the way out, so it ends the program as the tray's
// exit entry does.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (!trayReachable()) {
        QMainWindow::closeEvent(event);
        on_exitAppAction();
        return;
    }
    event->ignore();
    smalllest();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (windowState() == Qt::WindowMinimized && trayReachable()) {
        smalllest();
    }
}

void MainWindow::on_activatedSysTrayIcon(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger) {
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::on_showMainAction() {
    show();
    showNormal();
    raise();
    activateWindow();
}

// Switches the LED off, lets the request reach the device, then ends the worker (which
// destroys the scanner handle) and the event loop with exit code 0.
void MainWindow::on_exitAppAction() {
    if (Scanner* scanner = scanSettings_.scanner()) {
        telo_scanner_led(scanner, false);
    }
    std::this_thread::sleep_for(kLedPause);
    worker->stop();
    worker->wait();
    QCoreApplication::exit(0);
}

// --- Scanner reports ---

void MainWindow::displayResult(const QString& result) {
    ui->statelable->setText(result);
}

void MainWindow::displaylightResult() {
    std::this_thread::sleep_for(kLedPause);
    if (!ui->backlightControl->isChecked()) {
        return;
    }
    Scanner* scanner = scanSettings_.scanner();
    if (scanner == nullptr) {
        return;
    }
    qDebug() << "-------" << telo_scanner_led(scanner, true);
}

// --- Switches ---

// The worker's latest connection state stands in for a connection test of the window's own,
// which must never overlap the worker's calls on the handle.
void MainWindow::on_backlightControl_clicked() {
    const bool ticked = ui->backlightControl->isChecked();
    Scanner* scanner = scanSettings_.scanner();
    if (scanner == nullptr || !scanSettings_.isConnected()) {
        return;
    }
    telo_scanner_led(scanner, ticked);
    store("backlight", bit(ticked));
}

void MainWindow::on_beepControl_clicked() {
    const bool ticked = ui->beepControl->isChecked();
    scanSettings_.setBeep(ticked ? 1 : 0);
    store("beep", bit(ticked));
}

// Enter and carriage return take effect whether or not a scanner was found yet, so the box
// always shows what is applied and stored.
void MainWindow::on_enterBox_clicked() {
    const bool ticked = ui->enterBox->isChecked();
    scanSettings_.setEnter(ticked);
    store("enter", bit(ticked));
}

void MainWindow::on_wrapBox_clicked() {
    const bool ticked = ui->wrapBox->isChecked();
    scanSettings_.setWrap(ticked);
    store("wrap", bit(ticked));
}

void MainWindow::on_singlemode_clicked() {
    scanSettings_.setModes(true, false);
    store("workmode", "1");
}

void MainWindow::on_intervalmode_clicked() {
    scanSettings_.setModes(false, true);
    store("workmode", "2");
}

void MainWindow::on_interval_textChanged(const QString&) {
    bool isNumber = false;
    qulonglong interval = ui->interval->text().toULongLong(&isNumber);
    if (!isNumber) {
        interval = 0;
    }
    scanSettings_.setInterval(interval);
    store("interval", interval);
}

void MainWindow::on_preedit_textChanged(const QString&) {
    const QString prefix = ui->preedit->text();
    scanSettings_.setPrefix(prefix);
    store("prefix", prefix);
}

void MainWindow::on_suffedit_textChanged(const QString&) {
    const QString suffix = ui->suffedit->text();
    scanSettings_.setSuffix(suffix);
    store("suffix", suffix);
}

// A symbology box is only a pending choice until the update button applies it. The empty slots
// stay: the form connects every box to its on_<object>_clicked slot by name.
void MainWindow::on_upca_clicked() {}
void MainWindow::on_upce_clicked() {}
void MainWindow::on_itf_clicked() {}
void MainWindow::on_datamatrix_clicked() {}
void MainWindow::on_pdf417_clicked() {}
void MainWindow::on_code93_clicked() {}
void MainWindow::on_code39_clicked() {}
void MainWindow::on_code128_clicked() {}
void MainWindow::on_ean13_clicked() {}
void MainWindow::on_ean8_clicked() {}
void MainWindow::on_qrcode_clicked() {}
void MainWindow::on_industrial25_clicked() {}
void MainWindow::on_opendev_clicked() {}
