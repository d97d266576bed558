// SPDX-License-Identifier: MIT
// The entry of the test programs that need Qt's event loop, its text codecs or, built with
// TELO_TEST_WIDGETS, its widgets: the user's locale, as the application takes it, then the tests.
#include <QTextCodec>

#include <gtest/gtest.h>

#include <clocale>

#ifdef TELO_TEST_WIDGETS
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    Application application(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
