// The symbology choice reaching the library: the update button and the first connection.
#include <QRegularExpression>

#include "fake_telo.h"
#include "window_fixture.h"

namespace {

using Applied = std::map<int, bool>;  // symbology index: its last setting
using Keys = std::map<QString, QString>;

// What the library was last told for each symbology since the calls were cleared.
Applied applied() {
    Applied state;
    const QRegularExpression call(QStringLiteral("^add_type (\\d+) ([01])$"));
    for (const std::string& text : fake_telo::controlCalls()) {
        const auto match = call.match(QString::fromStdString(text));
        if (match.hasMatch()) {
            state[match.captured(1).toInt()] = match.captured(2) == "1";
        }
    }
    return state;
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
    EXPECT_EQ(applied(), Applied{});
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
    EXPECT_EQ(applied(), (Applied{{1, false},
                                  {2, true},
                                  {3, false},
                                  {5, true},
                                  {6, false},
                                  {7, false},
                                  {10, false},
                                  {11, false},
                                  {12, false},
                                  {14, false},
                                  {15, true},
                                  {16, false}}));
    EXPECT_EQ(storedKeys(), (Keys{{"code128", "0"},
                                  {"code39", "1"},
                                  {"code93", "0"},
                                  {"datamatrix", "0"},
                                  {"ean13", "0"},
                                  {"ean8", "1"},
                                  {"industrial25", "0"},
                                  {"interval", "0"},
                                  {"itf", "0"},
                                  {"pdf417", "0"},
                                  {"qrcode", "0"},
                                  {"upca", "1"},
                                  {"upce", "0"}}));
}

TEST_F(SymbologyTest, UpdatingWithNothingTickedFallsBackToQrCode) {
    startWindow();
    connectScanner();
    fake_telo::clearControlCalls();
    click("setCode");
    EXPECT_EQ(messageBoxes, QStringList{"码制状态|清空失败，请至少留有一种码制"});
    EXPECT_TRUE(box("qrcode")->isChecked());
    EXPECT_EQ(applied(), (Applied{{1, true},
                                  {2, false},
                                  {3, false},
                                  {5, false},
                                  {6, false},
                                  {7, false},
                                  {10, false},
                                  {11, false},
                                  {12, false},
                                  {14, false},
                                  {15, false},
                                  {16, false}}));
    EXPECT_EQ(storedKeys().at("qrcode"), "1");
    EXPECT_EQ(storedKeys().at("upca"), "0");
}

// Ticked boxes are enabled; QR Code and Industrial 2 of 5 are also disabled when unticked;
// the rest keep the engine's settings until the update button.
TEST_F(SymbologyTest, TheFirstConnectionAppliesTheStoredTicksOnlyOnce) {
    writeSettingsFile("[General]\nean8=1\nupce=1\ncode128=1\n");
    startWindow();
    connectScanner();
    EXPECT_EQ(applied(), (Applied{{1, false}, {2, true}, {7, true}, {14, true}, {16, false}}));
    unplug();
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(applied(), Applied{}) << "a reconnection applies nothing";
    endWindow();

    writeSettingsFile("[General]\nqrcode=1\nindustrial25=1\n");
    startWindow();
    fake_telo::clearControlCalls();
    connectScanner();
    EXPECT_EQ(applied(), (Applied{{1, true}, {16, true}}));
}

}  // namespace
