// SPDX-License-Identifier: MIT
// A Qt 5 program that receives typed text: a focused QPlainTextEdit titled argv[1] that
// writes its whole text to the file argv[2], UTF-8, when shown and after changes, once the
// pending events are handled (written aside and renamed, so a reader never sees half).
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 3) {
        return 2;
    }
    QPlainTextEdit edit;
    edit.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    const QByteArray path = argv[2];
    QTimer saver;
    saver.setSingleShot(true);
    QObject::connect(&saver, &QTimer::timeout, [&edit, &path] {
        QFile file(QString::fromLocal8Bit(path + ".new"));
        file.open(QIODevice::WriteOnly);
        file.write(edit.toPlainText().toUtf8());
        file.close();
        std::rename(path + ".new", path);
    });
    QObject::connect(&edit, &QPlainTextEdit::textChanged, &saver, [&saver] { saver.start(0); });
    edit.show();
    saver.start(0);
    return application.exec();
}
