// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_WINDOW_MAIN_WINDOW_H
#define OSTRELSCAN_WINDOW_MAIN_WINDOW_H

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <memory>

#include "loaded_settings.h"

/// The application's icon, compiled in: the tray icon and every window's.
inline const char* const kIconResource = ":/new/prefix1/iocn";

class KeyboardBackend;
class QAction;
class QMenu;
class QSettings;
class ScanSettings;
class Thread;
struct MainWindowForm;

/// The settings window. It lives hidden in the tray, applies the settings file to its controls
/// and to the shared ScanSettings, writes every change back key by key, runs the scan worker
/// and answers its connection reports.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    /// The application's window: the process-wide ScanSettings and the system keyboard.
    explicit MainWindow(QWidget* parent = nullptr);
    /// A window over the given settings record and keyboard, which the worker types into.
    MainWindow(ScanSettings& scanSettings, std::unique_ptr<KeyboardBackend> keyboard,
               QWidget* parent = nullptr);
    /// Stops the worker, which destroys the scanner handle.
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void on_enterBox_clicked();
    void on_upca_clicked();
    void on_upce_clicked();
    void on_itf_clicked();
    void on_datamatrix_clicked();
    void on_pdf417_clicked();
    void on_code93_clicked();
    void on_code39_clicked();
    void on_code128_clicked();
    void on_ean13_clicked();
    void on_ean8_clicked();
    void on_qrcode_clicked();
    void on_beepControl_clicked();
    void on_backlightControl_clicked();
    void on_activatedSysTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void on_showMainAction();
    void on_exitAppAction();
    void setConfig();
    // Kept as spelt: callers reach the hide-to-tray slot by this name through the meta-object.
    void smalllest();
    void on_opendev_clicked();
    void on_interval_textChanged(const QString& arg1);
    void on_preedit_textChanged(const QString& arg1);
    void on_suffedit_textChanged(const QString& arg1);
    void on_industrial25_clicked();
    void on_singlemode_clicked();
    void on_intervalmode_clicked();
    void displayResult(const QString& result);
    void displaylightResult();
    void displaydeviceResult();
    void on_wrapBox_clicked();
    void on_setCode_clicked();

private:
    /// Whether the window can hide into a tray: one has been built, or a tray host runs.
    bool trayReachable() const;
    void buildTray();
    /// Tells the user what the keyboard's notice says, or else that keyboard output is
    /// impossible when it is.
    void tellAboutKeyboard();
    /// Writes one key and puts it on disk at once, so that a crash or power loss keeps it.
    void store(const char* key, const QVariant& value);

    ScanSettings& scanSettings_;
    std::unique_ptr<KeyboardBackend> keyboard_;
    std::unique_ptr<Thread> worker;
    QMenu* trayMenu = nullptr;
    QAction* showMainAction = nullptr;
    QAction* exitAppAction = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    std::unique_ptr<MainWindowForm> ui;
    std::unique_ptr<QSettings> settings;
    LoadedSettings loaded_;
};

#endif
