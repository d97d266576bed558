#include <gtest/gtest.h>

#include <cstdio>
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
    return ParseSettings(text, templates, errorText);
}

TEST(SettingsParser, ReadsEveryFieldAndDefaultsTheRest) {
    TemplateMap templates;
    std::string errorText;
    ASSERT_EQ(ParseSettings(WithTemplate(R"({"formats": ["CODE_39", "INDUSTRIAL_25", "AZTEC"],
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

    ASSERT_EQ(ParseSettings(kMinimal, templates, errorText), kOk);
    const TemplateSettings defaults;
    EXPECT_EQ(templates.at(kDefaultTemplateName).maxBarcodes, defaults.maxBarcodes);
    EXPECT_EQ(templates.at(kDefaultTemplateName).reader.deskew, defaults.reader.deskew);
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
        {WithTemplate(R"({"formats": ["QR_CODE"], "timeoutMs": 5, "colour": 1})"),
         kErrorSettingsContent, "\"colour\""},
        {WithTemplate(R"({"formats": ["QR_CODE"], "timeoutMs": 5, "reader": {"speed": 1}})"),
         kErrorSettingsContent, "\"speed\""},
        {WithTemplate(R"({"formats": ["QR"], "timeoutMs": 5})"), kErrorSettingsContent, "\"QR\""},
        {WithTemplate(R"({"formats": [7], "timeoutMs": 5})"), kErrorSettingsContent, "7"},
        {WithTemplate(R"({"timeoutMs": 5})"), kErrorSettingsContent, "\"formats\""},
        {WithTemplate(R"({"formats": []})"), kErrorSettingsContent, "\"timeoutMs\""},
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
        engine_ = BarcodeEngine::Create();
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
    ASSERT_EQ(engine_->LoadSettingsFromString(kMinimal, errorText), kOk);

    EXPECT_EQ(engine_->LoadSettingsFromFile("/nonexistent/qr_balance.json", errorText),
              kErrorSettingsFileNotFound);
    EXPECT_NE(errorText.find("/nonexistent/qr_balance.json"), std::string::npos);
    const std::string broken = WriteFile("{ not json");
    EXPECT_EQ(engine_->LoadSettingsFromFile(broken.c_str(), errorText), kErrorSettingsJson);
    EXPECT_NE(errorText.find(broken), std::string::npos);
    EXPECT_EQ(engine_->LoadSettingsFromFile(nullptr, errorText), kErrorInvalidArgument);

    TemplateSettings settings;
    EXPECT_EQ(engine_->GetTemplateSettings(kDefaultTemplateName, settings), kOk);
    EXPECT_EQ(settings.timeoutMs, 50);
}

TEST_F(EngineSettings, ShippedSettingsEnableEveryFormatWithinAPollingPass) {
    std::string errorText;
    ASSERT_EQ(engine_->LoadSettingsFromFile(TELO_SHIPPED_SETTINGS, errorText), kOk) << errorText;
    TemplateSettings settings;
    ASSERT_EQ(engine_->GetTemplateSettings(kDefaultTemplateName, settings), kOk);
    EXPECT_EQ(settings.formatMask, kAllFormats);
    EXPECT_LT(settings.timeoutMs, 100);
    EXPECT_EQ(settings.maxBarcodes, 1);
}

TEST_F(EngineSettings, TemplateRoundTripAndRefusedWrites) {
    std::string errorText;
    ASSERT_EQ(engine_->LoadSettingsFromString(kMinimal, errorText), kOk);
    TemplateSettings written;
    written.formatMask = kFormatEan13 | kFormatPdf417;
    written.timeoutMs = 500;
    written.maxBarcodes = 2;
    written.expectedBarcodes = 1;
    written.reader.minLineCount = 3;
    written.reader.industrial25CheckDigit = true;
    ASSERT_EQ(engine_->SetTemplateSettings(kDefaultTemplateName, written, errorText), kOk);
    TemplateSettings read;
    ASSERT_EQ(engine_->GetTemplateSettings(kDefaultTemplateName, read), kOk);
    EXPECT_EQ(read.formatMask, written.formatMask);
    EXPECT_EQ(read.timeoutMs, written.timeoutMs);
    EXPECT_EQ(read.maxBarcodes, written.maxBarcodes);
    EXPECT_EQ(read.expectedBarcodes, written.expectedBarcodes);
    EXPECT_EQ(read.reader.minLineCount, written.reader.minLineCount);
    EXPECT_EQ(read.reader.industrial25CheckDigit, written.reader.industrial25CheckDigit);

    TemplateSettings bad = written;
    bad.formatMask |= 0x400;
    EXPECT_EQ(engine_->SetTemplateSettings(kDefaultTemplateName, bad, errorText),
              kErrorInvalidTemplateSettings);
    bad = written;
    bad.timeoutMs = 0;
    EXPECT_EQ(engine_->SetTemplateSettings(kDefaultTemplateName, bad, errorText),
              kErrorInvalidTemplateSettings);
    EXPECT_EQ(engine_->SetTemplateSettings("NO_SUCH", written, errorText), kErrorTemplateNotFound);
    EXPECT_EQ(engine_->GetTemplateSettings("NO_SUCH", read), kErrorTemplateNotFound);
    ASSERT_EQ(engine_->GetTemplateSettings(kDefaultTemplateName, read), kOk);
    EXPECT_EQ(read.timeoutMs, 500);
}

TEST(BarcodeFormat, NamesRoundTrip) {
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        const std::string_view name = FormatName(bit);
        EXPECT_EQ(name.empty(), (bit & kAllFormats) == 0) << bit;
        if (!name.empty()) {
            EXPECT_EQ(FormatFromName(name), bit);
        }
    }
    EXPECT_FALSE(FormatFromName("qr_code"));
}

TEST(EngineErrors, EveryCodeHasItsOwnText) {
    const std::string unknown = BarcodeEngine::GetErrorString(12345);
    for (int code = kOk; code >= kErrorInternal; --code) {
        EXPECT_NE(BarcodeEngine::GetErrorString(code), unknown) << code;
    }
}

}  // namespace
}  // namespace telo::engine
