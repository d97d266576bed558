// The symbology choice reaching the library: the update button and the first connection.
#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Calls = std::vector<std::string>;
using Keys = std::map<QString, QString>;

class SymbologyTest : public WindowTest {};

TEST_F(SymbologyTest, UpdatingWithoutAScannerOnlyTellsTheUser) {
    startWindow();
    click("qrcode");
    click("setCode");
    EXPECT_EQ(messageBoxes, QStringList{"码制状态|请在设备连上再更新码制"});
    EXPECT_EQ(fake_telo::controlCalls(), Calls{});
    EXPECT_EQ(storedKeys(), (Keys{{"interval", "0"}}));
    EXPECT_EQ(debugLines, QStringList{"qr_code"});

    connectScanner();
    fake_telo::setPlugged(false);
    ASSERT_TRUE(waitUntil([this] { return widget<QLabel>("statelable")->text() == "disconnect"; }));
    fake_telo::clearControlCalls();
    click("setCode");
    EXPECT_EQ(messageBoxes.size(), 2);
    EXPECT_EQ(fake_telo::controlCalls(), Calls{});
}

TEST_F(SymbologyTest, UpdateAppliesEveryBoxInItsOrderAndStoresEachOne) {
    startWindow();
    connectScanner();
    click("code39");
    click("upca");
    click("ean8");
    fake_telo::clearControlCalls();
    debugLines.clear();
    click("setCode");
    EXPECT_EQ(fake_telo::controlCalls(),
              (Calls{"add_type 16 1", "add_type 1 0", "add_type 2 1", "add_type 3 0",
                     "add_type 7 0", "add_type 5 1", "add_type 6 0", "add_type 10 0",
                     "add_type 11 0", "add_type 12 0", "add_type 14 0", "add_type 15 1",
                     "add_type 16 0"}));
    EXPECT_EQ(debugLines, (QStringList{"ean8_code", "code39_code", "upca_code", "true"}));
    EXPECT_TRUE(messageBoxes.isEmpty());
    const Keys keys = storedKeys();
    for (const char* off : {"qrcode", "ean13", "code128", "code93", "pdf417", "datamatrix", "itf",
                            "upce", "industrial25"}) {
        EXPECT_EQ(keys.at(off), "0") << off;
    }
    for (const char* on : {"ean8", "code39", "upca"}) {
        EXPECT_EQ(keys.at(on), "1") << on;
    }
    endWindow();
    startWindow();
    EXPECT_TRUE(box("upca")->isChecked());
    EXPECT_FALSE(box("qrcode")->isChecked());
}

TEST_F(SymbologyTest, UpdatingWithNothingTickedFallsBackToQrCode) {
    startWindow();
    connectScanner();
    fake_telo::clearControlCalls();
    debugLines.clear();
    click("setCode");
    EXPECT_EQ(messageBoxes, QStringList{"码制状态|清空失败，请至少留有一种码制"});
    EXPECT_TRUE(box("qrcode")->isChecked());
    EXPECT_EQ(fake_telo::controlCalls(),
              (Calls{"add_type 1 1", "add_type 2 0", "add_type 5 0", "add_type 3 0",
                     "add_type 6 0", "add_type 12 0", "add_type 10 0", "add_type 14 0",
                     "add_type 16 0", "add_type 15 0", "add_type 7 0", "add_type 11 0"}));
    EXPECT_EQ(debugLines, QStringList{"false"});
    const Keys keys = storedKeys();
    EXPECT_EQ(keys.at("qrcode"), "1");
    int off = 0;
    for (const auto& [key, value] : keys) {
        off += value == "0" && key != "interval" ? 1 : 0;
    }
    EXPECT_EQ(off, 11);
}

TEST_F(SymbologyTest, TheFirstConnectionReappliesTheStoredChoiceOnlyOnce) {
    writeSettingsFile("[General]\nindustrial25=1\n");
    startWindow();
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(), (Calls{"add_type 16 1", "add_type 1 0", "add_type 16 1"}));
    EXPECT_EQ(debugLines, (QStringList{"delete to", "======== true"}));

    fake_telo::clearControlCalls();
    fake_telo::setPlugged(false);
    ASSERT_TRUE(waitUntil([this] { return widget<QLabel>("statelable")->text() == "disconnect"; }));
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(), Calls{}) << "a reconnection re-applies nothing";
}

TEST_F(SymbologyTest, TheFirstConnectionAddsTickedBoxesAndSetsQrAndEan8BothWays) {
    writeSettingsFile("[General]\nqrcode=1\nean8=1\nupce=1\ncode128=1\n");
    startWindow();
    connectScanner();
    EXPECT_EQ(fake_telo::controlCalls(),
              (Calls{"add_type 16 1", "add_type 1 1", "add_type 2 1", "add_type 7 1",
                     "add_type 14 1", "add_type 16 0"}));
    EXPECT_EQ(debugLines, (QStringList{"add to", "======== true"}));
}

}  // namespace
