// The entry of the test programs that need Qt's event loop or its text codecs: the user's
// locale, as the application takes it, then the tests.
#include <QCoreApplication>
#include <QTextCodec>

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QCoreApplication application(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
