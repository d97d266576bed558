// SPDX-License-Identifier: MIT
// The symbology choice reaching the library: the update button and the first connection.
#include <QRegularExpression>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Keys = std::map<QString, QString>;

// What the library was last told for each symbology since the calls were cleared, in index
// order: "<index>+" enabled, "<index>-" disabled.
std::string applied() {
    std::map<int, bool> state;
    const QRegularExpression call(QStringLiteral("^add_type (\\d+) ([01])$"));
    for (const std::string& text : fake_telo::controlCalls()) {
        const auto match = call.match(QString::fromStdString(text));
        if (match.hasMatch()) {
            state[match.captured(1).toInt()] = match.captured(2) == "1";
        }
    }
    std::string listed;
    for (const auto& [index, on] : state) {
        listed += (listed.empty() ? "" : " ") + std::to_string(index) + (on ? "+" : "-");
    }
    return listed;
}

class SymbologyTest : public WindowTest {};

TEST_F(SymbologyTest, UpdatingWithoutAConnectedScannerOnlyTellsTheUser) {
    startWindow();
    click("qrcode");
    click("setCode");
    EXPECT_EQ(messageBoxes, QStringList{"码制状态|请在设备连上再更新码制"});
    connectScanner();
    unplug();
    fake_telo::clearControlCalls();
    click("setCode");
    EXPECT_EQ(messageBoxes.size(), 2);
    EXPECT_EQ(applied(), "");
    EXPECT_EQ(storedKeys(), (Keys{{"interval", "0"}}));
}

TEST_F(SymbologyTest, UpdateAppliesAndStoresEveryBox) {
    startWindow();
    connectScanner();
    for (const char* name : {"code39", "upca", "ean8"}) {
        click(name);
    }
    fake_telo::clearControlCalls();
    click("setCode");
    EXPECT_TRUE(messageBoxes.isEmpty());
    EXPECT_EQ(applied(), "1- 2+ 3- 5+ 6- 7- 10- 11- 12- 14- 15+ 16-");
    const Keys stored = storedKeys();
    for (const char* key : {"qrcode", "ean8", "ean13", "code39", "code93", "code128", "pdf417",
                            "datamatrix", "itf", "upce", "upca", "industrial25"}) {
        const bool ticked = key == std::string("code39") || key == std::string("upca") ||
                            key == std::string("ean8");
        EXPECT_EQ(stored.at(key), ticked ? "1" : "0") << key;
    }
}

TEST_F(SymbologyTest, UpdatingWithNothingTickedFallsBackToQrCode) {
    startWindow();
    connectScanner();
    fake_telo::clearControlCalls();
    click("setCode");
    EXPECT_EQ(messageBoxes, QStringList{"码制状态|清空失败，请至少留有一种码制"});
    EXPECT_TRUE(box("qrcode")->isChecked());
    EXPECT_EQ(applied(), "1+ 2- 3- 5- 6- 7- 10- 11- 12- 14- 15- 16-");
    EXPECT_EQ(storedKeys().at("qrcode"), "1");
    EXPECT_EQ(storedKeys().at("upca"), "0");
}

// Ticked boxes are enabled; QR Code and Industrial 2 of 5 are also disabled when unticked;
// the rest keep the engine's settings until the update button.
TEST_F(SymbologyTest, TheFirstConnectionAppliesTheStoredTicksOnlyOnce) {
    writeSettingsFile("[General]\nean8=1\nupce=1\ncode128=1\n");
    startWindow();
    connectScanner();
    EXPECT_EQ(applied(), "1- 2+ 7+ 14+ 16-");
    unplug();
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(applied(), "") << "a reconnection applies nothing";
    endWindow();

    writeSettingsFile("[General]\nqrcode=1\nindustrial25=1\n");
    startWindow();
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(applied(), "1+ 16+");
}

}  // namespace
