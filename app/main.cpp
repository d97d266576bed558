// SPDX-License-Identifier: MIT
// ostrelscan: one copy per session, living in the tray, typing scanned barcodes.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTextCodec>

#include "main_window.h"
#include "single_instance_guard.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
    QApplication::setWindowIcon(QIcon(kIconResource));

    SingleInstanceGuard guard;
    guard.lock();
    if (!guard.claim()) {
        // Chinese and untranslated, as users know the program.
        QMessageBox::information(nullptr, QObject::tr("Ostrel软解"), QObject::tr("程序已打开"),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        guard.unlock();
        return 0;
    }
    guard.unlock();

    MainWindow window;
    return application.exec();
}
