// The text of a code's bytes: UTF-8 when valid, else the encoding that reads them best.
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
        {"M\374ller caf\351", kCode128, "Müller café"},
        // GB2312 hanzi, also readable as Latin-1 letters: Chinese wins the tie.
        {"\326\320\316\304", kQrCodeSymbology, "中文"},
        {"\314\365\302\353 No.7", kQrCodeSymbology, "条码 No.7"},
        {"\223\372\226{\214\352\202\314\203e\203L\203X\203g", kQrCodeSymbology, "日本語のテキスト"},
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
