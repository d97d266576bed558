// SPDX-License-Identifier: MIT
// The symbology choice: the update button and the re-apply after the first connection.
#include <QCheckBox>
#include <QDebug>
#include <QMessageBox>

#include "main_window.h"
#include "main_window_form.h"
#include "scan_settings.h"
#include "telo.h"

namespace {

/// One symbology box with its settings key, debug key and the library's index for it.
struct SymbologyBox {
    QCheckBox* MainWindowForm::*box;
    const char* key;
    const char* debugKey;
    int32_t index;
};

constexpr SymbologyBox kQrCode{&MainWindowForm::qrcode, "qrcode", "qr_code", 1};
constexpr SymbologyBox kEan8{&MainWindowForm::ean8, "ean8", "ean8_code", 2};
constexpr SymbologyBox kEan13{&MainWindowForm::ean13, "ean13", "ean13_code", 3};
constexpr SymbologyBox kCode39{&MainWindowForm::code39, "code39", "code39_code", 5};
constexpr SymbologyBox kCode93{&MainWindowForm::code93, "code93", "code93_code", 6};
constexpr SymbologyBox kCode128{&MainWindowForm::code128, "code128", "code128_code", 7};
constexpr SymbologyBox kPdf417{&MainWindowForm::pdf417, "pdf417", "pdf417_code", 10};
constexpr SymbologyBox kDataMatrix{&MainWindowForm::datamatrix, "datamatrix", "dm_code", 11};
constexpr SymbologyBox kItf{&MainWindowForm::itf, "itf", "itf_code", 12};
constexpr SymbologyBox kUpcE{&MainWindowForm::upce, "upce", "upce_code", 14};
constexpr SymbologyBox kUpcA{&MainWindowForm::upca, "upca", "upca_code", 15};
constexpr SymbologyBox kIndustrial25{&MainWindowForm::industrial25, "industrial25",
                                     "indus25_code", 16};

// The orders in which the update reads, applies and, with nothing ticked, clears the boxes.
constexpr SymbologyBox kReadOrder[] = {kQrCode, kEan8,  kCode39, kEan13,       kCode93, kItf,
                                       kPdf417, kUpcE,  kIndustrial25, kUpcA, kCode128,
                                       kDataMatrix};
constexpr SymbologyBox kApplyOrder[] = {kQrCode, kEan8, kEan13, kCode128, kCode39, kCode93,
                                        kPdf417, kDataMatrix, kItf, kUpcE, kUpcA, kIndustrial25};
constexpr SymbologyBox kClearOrder[] = {kEan8, kCode39, kEan13, kCode93, kItf, kPdf417,
                                        kUpcE, kIndustrial25, kUpcA, kCode128, kDataMatrix};
// The boxes that the re-apply only adds, after QR and EAN-8.
constexpr SymbologyBox kAddOrder[] = {kEan13,  kCode39,     kCode93, kCode128, kPdf417,
                                      kDataMatrix, kItf, kUpcE, kUpcA};

bool isTicked(const MainWindowForm& form, const SymbologyBox& entry) {
    return (form.*(entry.box))->isChecked();
}

void inform(QWidget* parent, const char* text) {
    QMessageBox::information(parent, QStringLiteral("码制状态"), QString::fromUtf8(text),
                             QMessageBox::Ok, QMessageBox::NoButton);
}

}  // namespace

void MainWindow::on_setCode_clicked() {
    const auto ticked = [this](const SymbologyBox& entry) { return isTicked(*ui, entry); };
    bool anyTicked = false;
    for (const SymbologyBox& entry : kReadOrder) {
        if (ticked(entry)) {
            qDebug() << entry.debugKey;
            anyTicked = true;
        }
    }
    Scanner* scanner = scanSettings_.scanner();
    if (scanner == nullptr || !scanSettings_.isConnected()) {
        inform(this, "请在设备连上再更新码制");
        return;
    }
    qDebug() << (ticked(kQrCode) || ticked(kEan8));
    if (anyTicked) {
        telo_scanner_add_type(scanner, kIndustrial25.index, true);
        for (const SymbologyBox& entry : kApplyOrder) {
            const bool on = ticked(entry);
            telo_scanner_add_type(scanner, entry.index, on);
            store(entry.key, on ? "1" : "0");
        }
        return;
    }
    inform(this, "清空失败，请至少留有一种码制");
    ui->qrcode->setChecked(true);
    telo_scanner_add_type(scanner, kQrCode.index, true);
    store(kQrCode.key, "1");
    for (const SymbologyBox& entry : kClearOrder) {
        telo_scanner_add_type(scanner, entry.index, false);
        store(entry.key, "0");
    }
}

void MainWindow::displaydeviceResult() {
    Scanner* scanner = scanSettings_.scanner();
    if (scanner == nullptr) {
        return;
    }
    const auto ticked = [this](const SymbologyBox& entry) { return isTicked(*ui, entry); };
    telo_scanner_add_type(scanner, kIndustrial25.index, true);
    if (ticked(kQrCode)) {
        qDebug() << "add to";
        telo_scanner_add_type(scanner, kQrCode.index, true);
    } else {
        qDebug() << "delete to";
        qDebug() << "========" << telo_scanner_add_type(scanner, kQrCode.index, false);
    }
    if (ticked(kEan8)) {
        qDebug() << "========" << telo_scanner_add_type(scanner, kEan8.index, true);
    }
    for (const SymbologyBox& entry : kAddOrder) {
        if (ticked(entry)) {
            telo_scanner_add_type(scanner, entry.index, true);
        }
    }
    telo_scanner_add_type(scanner, kIndustrial25.index, ticked(kIndustrial25));
}
