// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_UNIT_ENGINE_SHIPPED_ENGINE_H
#define OSTRELSCAN_TESTS_UNIT_ENGINE_SHIPPED_ENGINE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/barcode_engine.h"

namespace telo::test {

/// The engine with the shipped settings, and time enough for a slow sanitizer build on a busy
/// machine: a decode ends as soon as it has read a code, and the tests' images hold one.
class ShippedEngineTest : public ::testing::Test {
protected:
    static constexpr int kPatientTimeoutMs = 20000;

    void SetUp() override {
        engine_ = engine::BarcodeEngine::create();
        ASSERT_TRUE(engine_);
        std::string errorText;
        ASSERT_EQ(engine_->loadSettingsFromFile(TELO_SHIPPED_SETTINGS, errorText), engine::kOk)
            << errorText;
        SetTimeout(kPatientTimeoutMs);
    }

    engine::TemplateSettings Template() const {
        engine::TemplateSettings settings;
        EXPECT_EQ(engine_->getTemplateSettings(engine::kDefaultTemplateName, settings),
                  engine::kOk);
        return settings;
    }

    void SetTimeout(int milliseconds) {
        engine::TemplateSettings settings = Template();
        settings.timeoutMs = milliseconds;
        std::string errorText;
        ASSERT_EQ(engine_->setTemplateSettings(engine::kDefaultTemplateName, settings, errorText),
                  engine::kOk);
    }

    std::unique_ptr<engine::BarcodeEngine> engine_;
};

}  // namespace telo::test

#endif
