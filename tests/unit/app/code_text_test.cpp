// SPDX-License-Identifier: MIT
// The text of a code's bytes: UTF-8 when valid, else the encoding that reads them best. GB18030,
// Shift JIS and Latin-1 codes are checked where programs receive them, GB2312 through the worker.
#include "code_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int32_t kCode128 = 7;

struct Reading {
    const char* bytes;
    int32_t symbology;
    const char* text;  // UTF-8
};

TEST(CodeText, ReadsValidUtf8AsSuchAndAnythingElseInTheLikeliestEncoding) {
    const Reading table[] = {
        {"ok \xE6\x9D\xA1\xE7\xA0\x81 \xF0\x9F\x98\x80", kQrCodeSymbology, "ok 条码 😀"},
        // Latin-1 letters that also read as rare GBK or half-width katakana.
        {"M\374ller", kQrCodeSymbology, "Müller"},
        {"M\334NCHEN", kQrCodeSymbology, "MÜNCHEN"},
        // A truncated or overlong sequence is not UTF-8.
        {"caf\303", kQrCodeSymbology, "cafÃ"},
        {"\300\257", kCode128, "À¯"},
        // Nothing reads these bytes: Latin-1, whose C1 controls are then left out when typed.
        {"\200\377", kQrCodeSymbology, "\xC2\x80\xC3\xBF"},
    };
    for (const Reading& row : table) {
        EXPECT_EQ(codeText(row.bytes, row.symbology).toStdString(), row.text) << row.text;
    }
}

}  // namespace
