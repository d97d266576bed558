// A Qt 5 program that receives typed text: a focused QPlainTextEdit titled argv[1] that
// writes its whole text to the file argv[2], UTF-8, when shown and after every change.
#include <QApplication>
#include <QPlainTextEdit>
#include <QSaveFile>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 3) {
        return 2;
    }
    QPlainTextEdit edit;
    edit.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    const QString path = QString::fromLocal8Bit(argv[2]);
    const auto save = [&edit, &path] {
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(edit.toPlainText().toUtf8());
        file.commit();
    };
    QObject::connect(&edit, &QPlainTextEdit::textChanged, save);
    edit.show();
    save();
    return application.exec();
}
