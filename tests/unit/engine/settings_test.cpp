// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "engine/barcode_engine.h"
#include "engine/barcode_format.h"
#include "engine/settings_parser.h"

namespace telo::engine {
namespace {

constexpr char kMinimal[] =
    R"({"templates": {"QR_CODE_DEFAULT": {"formats": ["QR_CODE"], "timeoutMs": 50}}})";

std::string WithTemplate(const std::string& body) {
    return R"({"templates": {"QR_CODE_DEFAULT": )" + body + "}}";
}

int Parse(const std::string& text, std::string& errorText) {
    TemplateMap templates;
    return parseSettings(text, templates, errorText);
}

TEST(SettingsParser, ReadsEveryField) {
    TemplateMap templates;
    std::string errorText;
    ASSERT_EQ(parseSettings(WithTemplate(R"({"formats": ["CODE_39", "INDUSTRIAL_25", "AZTEC"],
        "timeoutMs": 70, "maxBarcodes": 3, "expectedBarcodes": 2,
        "reader": {"deskew": false, "minLineCount": 3, "industrial25MinLength": 4,
                   "industrial25CheckDigit": true}})"),
                            templates, errorText),
              kOk)
        << errorText;
    const TemplateSettings& t = templates.at(kDefaultTemplateName);
    EXPECT_EQ(t.formatMask, kFormatCode39 | kFormatIndustrial25 | kFormatAztec);
    EXPECT_EQ(t.timeoutMs, 70);
    EXPECT_EQ(t.maxBarcodes, 3);
    EXPECT_EQ(t.expectedBarcodes, 2);
    EXPECT_FALSE(t.reader.deskew);
    EXPECT_EQ(t.reader.minLineCount, 3);
    EXPECT_EQ(t.reader.industrial25MinLength, 4);
    EXPECT_TRUE(t.reader.industrial25CheckDigit);
}

TEST(SettingsParser, RejectsWithATextNamingTheProblem) {
    const struct {
        std::string text;
        int code;
        std::string mention;
    } cases[] = {
        {"{\"templates\": {", kErrorSettingsJson, "line 1"},
        {WithTemplate(R"({"formats": [], "timeoutMs": 1e400})"), kErrorSettingsJson, "1e400"},
        {"[]", kErrorSettingsContent, "object"},
        {R"({"templates": {}, "extra": 1})", kErrorSettingsContent, "\"extra\""},
        {R"({"templates": {"OTHER": {"formats": [], "timeoutMs": 5}}})",
         kErrorDefaultTemplateMissing, "QR_CODE_DEFAULT"},
        {WithTemplate(R"({"formats": ["QR_CODE"], "timeoutMs": 5, "reader": {"speed": 1}})"),
         kErrorSettingsContent, "\"speed\""},
        {WithTemplate(R"({"formats": ["QR"], "timeoutMs": 5})"), kErrorSettingsContent, "\"QR\""},
        {WithTemplate(R"({"timeoutMs": 5})"), kErrorSettingsContent, "\"formats\""},
        {WithTemplate(R"({"formats": [], "timeoutMs": "5"})"), kErrorSettingsContent, "integer"},
        {WithTemplate(R"({"formats": [], "timeoutMs": 5000000000})"), kErrorSettingsContent,
         "integer"},
        {WithTemplate(R"({"formats": [], "timeoutMs": 0})"), kErrorSettingsContent, "timeoutMs"},
        {WithTemplate(R"({"formats": [], "timeoutMs": 5, "maxBarcodes": 0})"),
         kErrorSettingsContent, "maxBarcodes"},
        {WithTemplate(R"({"formats": [], "timeoutMs": 5, "reader": {"deskew": 1}})"),
         kErrorSettingsContent, "\"deskew\""},
    };
    for (const auto& c : cases) {
        std::string errorText;
        EXPECT_EQ(Parse(c.text, errorText), c.code) << c.text;
        EXPECT_NE(errorText.find(c.mention), std::string::npos) << c.text << " -> " << errorText;
    }
}

class EngineSettings : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = BarcodeEngine::create();
        ASSERT_TRUE(engine_);
    }
    std::string WriteFile(const std::string& text) {
        const std::string path = ::testing::TempDir() + "engine_settings_test.json";
        std::ofstream(path) << text;
        return path;
    }
    std::unique_ptr<BarcodeEngine> engine_;
};

TEST_F(EngineSettings, FileErrorsNameTheFileAndKeepTheTemplates) {
    std::string errorText;
    ASSERT_EQ(engine_->loadSettingsFromString(kMinimal, errorText), kOk);

    EXPECT_EQ(engine_->loadSettingsFromFile("/nonexistent/qr_balance.json", errorText),
              kErrorSettingsFileNotFound);
    EXPECT_NE(errorText.find("/nonexistent/qr_balance.json"), std::string::npos);
    const std::string broken = WriteFile("{ not json");
    EXPECT_EQ(engine_->loadSettingsFromFile(broken.c_str(), errorText), kErrorSettingsJson);
    EXPECT_NE(errorText.find(broken), std::string::npos);
    EXPECT_EQ(engine_->loadSettingsFromFile(nullptr, errorText), kErrorInvalidArgument);

    TemplateSettings settings;
    EXPECT_EQ(engine_->getTemplateSettings(kDefaultTemplateName, settings), kOk);
    EXPECT_EQ(settings.timeoutMs, 50);
}

TEST_F(EngineSettings, ShippedSettingsEnableEveryFormatWithinAPollingPass) {
    std::string errorText;
    ASSERT_EQ(engine_->loadSettingsFromFile(TELO_SHIPPED_SETTINGS, errorText), kOk) << errorText;
    TemplateSettings settings;
    ASSERT_EQ(engine_->getTemplateSettings(kDefaultTemplateName, settings), kOk);
    EXPECT_EQ(settings.formatMask, kAllFormats);
    EXPECT_LT(settings.timeoutMs, 100);
    EXPECT_EQ(settings.maxBarcodes, 1);
}

}  // namespace
}  // namespace telo::engine
