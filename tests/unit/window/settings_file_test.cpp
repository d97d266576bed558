// SPDX-License-Identifier: MIT
// The settings file: what a start reads from it and what each control writes back.
#include <QTest>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Keys = std::map<QString, QString>;

class SettingsFileTest : public WindowTest {};

TEST_F(SettingsFileTest, AFirstStartTicksNothingSelectsNoModeAndStoresOnlyTheInterval) {
    startWindow();
    for (QCheckBox* box : window->findChildren<QCheckBox*>()) {
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    }
    EXPECT_FALSE(widget<QRadioButton>("singlemode")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("intervalmode")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("interval")->text(), "0");
    EXPECT_EQ(storedKeys(), (Keys{{"interval", "0"}}));
    const OutputSettings output = scanSettings.output();
    EXPECT_FALSE(output.singleMode || output.intervalMode);
}

TEST_F(SettingsFileTest, AHandEditedFileIsReadWithQtsTextRules) {
    writeSettingsFile(
        "[General]\nqrcode=true\nean8=0\nean13=false\ncode39=FALSE\ncode93=yes\n"
        "backlight=1\nbeep=true\nenter=1\nwrap=1\nworkmode=2\ninterval=250\n"
        "prefix=<\nsuffix=>\n");
    startWindow();
    for (const char* ticked : {"qrcode", "code93", "backlightControl", "beepControl"}) {
        EXPECT_TRUE(box(ticked)->isChecked()) << ticked;
    }
    for (const char* unticked : {"ean8", "ean13", "code39"}) {
        EXPECT_FALSE(box(unticked)->isChecked()) << unticked;
    }
    EXPECT_TRUE(widget<QRadioButton>("intervalmode")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("preedit")->text(), "<");
    const OutputSettings output = scanSettings.output();
    EXPECT_TRUE(output.intervalMode && !output.singleMode && output.enter && output.wrap);
    EXPECT_EQ(output.interval, 250u);
    EXPECT_EQ(output.beep, 1);
    EXPECT_EQ(output.prefix + output.suffix, "<>");
    endWindow();

    writeSettingsFile("[General]\nworkmode=3\ninterval=soon\n");
    startWindow();
    EXPECT_FALSE(widget<QRadioButton>("singlemode")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("intervalmode")->isChecked());
    EXPECT_EQ(storedKeys(), (Keys{{"interval", "0"}, {"workmode", "3"}}));
}

TEST_F(SettingsFileTest, EveryChangeIsStoredAtOnceAndTakesEffectBeforeAScannerIsFound) {
    startWindow();
    QTest::keyClicks(widget<QLineEdit>("preedit"), "ab");
    EXPECT_EQ(storedKeys().at("prefix"), "ab");
    QTest::keyClicks(widget<QLineEdit>("suffedit"), "#");
    widget<QLineEdit>("preedit")->clear();
    widget<QLineEdit>("interval")->setText("12x");
    for (const char* name : {"beepControl", "enterBox", "wrapBox", "singlemode", "qrcode"}) {
        click(name);
    }
    OutputSettings output = scanSettings.output();
    EXPECT_TRUE(output.beep == 1 && output.enter && output.wrap && output.singleMode);
    EXPECT_EQ(output.prefix + output.suffix, "#");
    EXPECT_EQ(storedKeys(), (Keys{{"beep", "1"},
                                  {"enter", "1"},
                                  {"interval", "0"},
                                  {"prefix", ""},
                                  {"suffix", "#"},
                                  {"workmode", "1"},
                                  {"wrap", "1"}}))
        << "a symbology box is stored only by the update button";
    click("intervalmode");
    EXPECT_FALSE(widget<QRadioButton>("singlemode")->isChecked());
    EXPECT_TRUE(scanSettings.output().intervalMode && !scanSettings.output().singleMode);
    widget<QLineEdit>("interval")->setText("5000000000");
    endWindow();

    startWindow();
    EXPECT_EQ(widget<QLineEdit>("suffedit")->text(), "#");
    EXPECT_EQ(widget<QLineEdit>("interval")->text(), "5000000000");
    EXPECT_EQ(scanSettings.output().interval, 5000000000u);
    EXPECT_FALSE(box("qrcode")->isChecked());
}

TEST_F(SettingsFileTest, TheLedSwitchActsAndIsStoredOnlyWhileTheScannerIsConnected) {
    startWindow();
    click("backlightControl");
    EXPECT_TRUE(box("backlightControl")->isChecked());
    EXPECT_EQ(fake_telo::controlCalls(), std::vector<std::string>{});
    click("backlightControl");
    connectScanner();
    fake_telo::clearControlCalls();
    click("backlightControl");
    EXPECT_EQ(fake_telo::controlCalls(), std::vector<std::string>{"led 1"});
    EXPECT_EQ(storedKeys().at("backlight"), "1");
    unplug();
    click("backlightControl");
    EXPECT_EQ(fake_telo::controlCalls(), std::vector<std::string>{"led 1"});
    EXPECT_EQ(storedKeys().at("backlight"), "1");
}

}  // namespace
