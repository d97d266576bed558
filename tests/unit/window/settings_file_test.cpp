// The settings file: what a start reads from it and what each control writes back.
#include <QTest>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Keys = std::map<QString, QString>;

class SettingsFileTest : public WindowTest {};

const char* const kSymbologyBoxes[] = {"qrcode", "ean8",   "ean13", "code39",
                                       "code93", "code128", "pdf417", "datamatrix",
                                       "itf",    "upce",   "upca",  "industrial25"};

TEST_F(SettingsFileTest, AFirstStartTicksNothingSelectsNoModeAndStoresOnlyTheInterval) {
    startWindow();
    for (const char* name : kSymbologyBoxes) {
        EXPECT_FALSE(box(name)->isChecked()) << name;
    }
    for (const char* name : {"backlightControl", "beepControl", "enterBox", "wrapBox"}) {
        EXPECT_FALSE(box(name)->isChecked()) << name;
    }
    EXPECT_FALSE(widget<QRadioButton>("singlemode")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("intervalmode")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("interval")->text(), "0");
    EXPECT_EQ(widget<QLabel>("statelable")->text(), "disconnect");
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
    EXPECT_TRUE(box("qrcode")->isChecked());
    EXPECT_FALSE(box("ean8")->isChecked());
    EXPECT_FALSE(box("ean13")->isChecked());
    EXPECT_FALSE(box("code39")->isChecked());
    EXPECT_TRUE(box("code93")->isChecked()) << "any other text is true";
    EXPECT_TRUE(box("backlightControl")->isChecked());
    EXPECT_TRUE(box("beepControl")->isChecked());
    EXPECT_TRUE(widget<QRadioButton>("intervalmode")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("preedit")->text(), "<");
    EXPECT_EQ(widget<QLineEdit>("suffedit")->text(), ">");

    const OutputSettings output = scanSettings.output();
    EXPECT_TRUE(output.intervalMode);
    EXPECT_FALSE(output.singleMode);
    EXPECT_EQ(output.interval, 250u);
    EXPECT_EQ(output.beep, 1);
    EXPECT_TRUE(output.enter);
    EXPECT_TRUE(output.wrap);
    EXPECT_EQ(output.prefix, "<");
    EXPECT_EQ(output.suffix, ">");
}

TEST_F(SettingsFileTest, UnknownWorkModesAndNonNumericIntervalsFallBack) {
    writeSettingsFile("[General]\nworkmode=3\ninterval=soon\n");
    startWindow();
    EXPECT_FALSE(widget<QRadioButton>("singlemode")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("intervalmode")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("interval")->text(), "0");
    EXPECT_EQ(storedKeys().at("interval"), "0");
    EXPECT_EQ(storedKeys().at("workmode"), "3") << "an unused mode is left in the file";
}

TEST_F(SettingsFileTest, AnIntervalBeyond32BitsComesBackAsWritten) {
    startWindow();
    widget<QLineEdit>("interval")->setText("5000000000");
    EXPECT_EQ(scanSettings.output().interval, 5000000000u);
    endWindow();

    startWindow();
    EXPECT_EQ(widget<QLineEdit>("interval")->text(), "5000000000");
    EXPECT_EQ(scanSettings.output().interval, 5000000000u);
}

TEST_F(SettingsFileTest, EveryKeystrokeInTheTextBoxesIsStored) {
    startWindow();
    QTest::keyClicks(widget<QLineEdit>("preedit"), "ab");
    EXPECT_EQ(storedKeys().at("prefix"), "ab");
    EXPECT_EQ(scanSettings.output().prefix, "ab");
    QTest::keyClicks(widget<QLineEdit>("suffedit"), "#");
    EXPECT_EQ(storedKeys().at("suffix"), "#");

    widget<QLineEdit>("preedit")->clear();
    EXPECT_EQ(storedKeys().at("prefix"), "");
    widget<QLineEdit>("interval")->setText("12x");
    EXPECT_EQ(scanSettings.output().interval, 0u);
    EXPECT_EQ(storedKeys().at("interval"), "0");
    endWindow();

    startWindow();
    EXPECT_EQ(widget<QLineEdit>("preedit")->text(), "");
    EXPECT_EQ(widget<QLineEdit>("suffedit")->text(), "#");
}

TEST_F(SettingsFileTest, SwitchesTakeEffectAndAreStoredBeforeAnyScannerIsFound) {
    startWindow();
    click("beepControl");
    click("enterBox");
    click("wrapBox");
    click("singlemode");
    OutputSettings output = scanSettings.output();
    EXPECT_EQ(output.beep, 1);
    EXPECT_TRUE(output.enter);
    EXPECT_TRUE(output.wrap);
    EXPECT_TRUE(output.singleMode);
    EXPECT_EQ(storedKeys(), (Keys{{"beep", "1"}, {"enter", "1"}, {"interval", "0"},
                                  {"workmode", "1"}, {"wrap", "1"}}));

    click("intervalmode");
    click("enterBox");
    output = scanSettings.output();
    EXPECT_FALSE(output.singleMode);
    EXPECT_TRUE(output.intervalMode);
    EXPECT_FALSE(output.enter);
    EXPECT_EQ(storedKeys().at("workmode"), "2");
    EXPECT_EQ(storedKeys().at("enter"), "0");
    EXPECT_FALSE(widget<QRadioButton>("singlemode")->isChecked());
}

TEST_F(SettingsFileTest, TickingASymbologyBoxStoresNothing) {
    startWindow();
    click("qrcode");
    click("industrial25");
    EXPECT_EQ(storedKeys(), (Keys{{"interval", "0"}}));
    endWindow();
    startWindow();
    EXPECT_FALSE(box("qrcode")->isChecked());
}

TEST_F(SettingsFileTest, TheLedSwitchActsAndStoresOnlyWhileTheScannerIsConnected) {
    startWindow();
    click("backlightControl");
    EXPECT_TRUE(box("backlightControl")->isChecked());
    EXPECT_EQ(fake_telo::controlCalls(), std::vector<std::string>{});
    EXPECT_EQ(storedKeys().count("backlight"), 0u);

    click("backlightControl");
    connectScanner();
    fake_telo::clearControlCalls();
    click("backlightControl");
    EXPECT_EQ(fake_telo::controlCalls(), std::vector<std::string>{"led 1"});
    EXPECT_EQ(storedKeys().at("backlight"), "1");

    fake_telo::setPlugged(false);
    ASSERT_TRUE(waitUntil([this] { return widget<QLabel>("statelable")->text() == "disconnect"; }));
    click("backlightControl");
    EXPECT_EQ(fake_telo::controlCalls(), std::vector<std::string>{"led 1"});
    EXPECT_EQ(storedKeys().at("backlight"), "1");
}

}  // namespace
