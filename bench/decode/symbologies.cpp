// SPDX-License-Identifier: MIT
#include "symbologies.h"

#include <zbar.h>
#include <zint.h>

#include <array>
#include <string_view>

namespace telo::bench {

namespace {

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kUpperAlnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::string_view kCode39Chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-. ";
constexpr std::string_view kMixedText =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -.:/+";
constexpr char kGroupSeparator = '\x1D';
constexpr int kUtf8Eci = 26;

/// Phrases of everyday Chinese labels: addresses, products, dates.
constexpr std::array<const char*, 16> kChinesePhrases = {
    "产品编号", "生产日期", "保质期至", "上海市浦东新区",     "北京市海淀区", "收货地址",
    "批次号",   "有限公司", "欢迎光临", "质量合格",           "数量",         "单价",
    "合计金额", "扫描测试", "联系电话", "深圳市南山区科技园",
};
constexpr std::array<const char*, 6> kDomains = {
    "example.com",    "shop.example.cn", "track.example.org",
    "id.example.net", "wx.example.com",  "pay.example.com.cn",
};

int between(std::mt19937& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

std::string randomString(std::mt19937& random, std::string_view alphabet, int minLength,
                         int maxLength) {
    std::string text(between(random, minLength, maxLength), ' ');
    for (char& c : text) {
        c = alphabet[between(random, 0, static_cast<int>(alphabet.size()) - 1)];
    }
    return text;
}

/// The GS1 mod-10 check digit of `digits`.
char gs1CheckDigit(std::string_view digits) {
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, weight = 4 - weight) {
        sum += (*it - '0') * weight;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

/// `length` digits whose first is not 0 (an EAN-13 starting with 0 is a UPC-A).
std::string leadingNonZero(std::mt19937& random, int length) {
    std::string digits = randomString(random, kDigits, length, length);
    if (digits[0] == '0') {
        digits[0] = '4';
    }
    return digits;
}

std::string gtin14(std::mt19937& random) {
    const std::string body = "0" + leadingNonZero(random, 12);
    return body + gs1CheckDigit(body);
}

std::string date(std::mt19937& random) {
    char text[7];
    std::snprintf(text, sizeof text, "%02d%02d%02d", between(random, 23, 29),
                  between(random, 1, 12), between(random, 1, 28));
    return text;
}

SymbolContent plain(int type, const std::string& data, int inputMode = UNICODE_MODE) {
    SymbolContent content;
    content.request.type = type;
    content.request.inputMode = inputMode;
    content.request.data = data;
    content.expected = data;
    return content;
}

/// A GS1 element string from (AI, value) pairs: zint's bracketed input, and the bytes a reader
/// returns, with GS after each variable-length value that another element follows.
SymbolContent gs1(int type, const std::vector<std::pair<std::string, std::string>>& elements) {
    SymbolContent content;
    content.request.type = type;
    content.request.inputMode = GS1_MODE;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto& [ai, value] = elements[i];
        content.request.data += "[" + ai + "]" + value;
        content.expected += ai + value;
        const bool fixedLength =
            ai == "00" || ai == "01" || ai == "17" || ai == "15" || ai.compare(0, 2, "31") == 0;
        if (!fixedLength && i + 1 < elements.size()) {
            content.expected += kGroupSeparator;
        }
    }
    content.humanText = content.request.data;
    for (char& c : content.humanText) {
        c = c == '[' ? '(' : c == ']' ? ')' : c;
    }
    return content;
}

std::string chinese(std::mt19937& random, int phrases) {
    std::string text;
    for (int i = 0; i < phrases; ++i) {
        text += kChinesePhrases[between(random, 0, kChinesePhrases.size() - 1)];
        text += i % 2 == 0 ? "：" : "，";
        text += randomString(random, kDigits, 2, 6);
    }
    return text;
}

SymbolContent makeQr(std::mt19937& random) {
    switch (between(random, 0, 4)) {
        case 0:
            return plain(BARCODE_QRCODE, "https://" + std::string(kDomains[between(random, 0, 5)]) +
                                             "/" + randomString(random, kUpperAlnum, 4, 12) +
                                             "?id=" + randomString(random, kDigits, 4, 16));
        case 1: {
            // UTF-8 marked with its ECI designator. Unmarked, zint would write text that
            // Shift_JIS holds in Kanji mode, whose bytes readers return as Shift_JIS.
            SymbolContent content = plain(BARCODE_QRCODE, chinese(random, between(random, 1, 4)));
            content.request.eci = kUtf8Eci;
            return content;
        }
        case 2:
            // Most phone apps write UTF-8 bytes in byte mode with no ECI.
            return plain(BARCODE_QRCODE, chinese(random, between(random, 1, 4)), DATA_MODE);
        case 3:
            return plain(BARCODE_QRCODE,
                         "WIFI:S:Office-" + randomString(random, kUpperAlnum, 2, 6) +
                             ";T:WPA;P:" + randomString(random, kMixedText, 8, 16) + ";;");
        default:
            return plain(BARCODE_QRCODE, randomString(random, kMixedText, 8, 60));
    }
}

SymbolContent makeDataMatrix(std::mt19937& random) {
    if (between(random, 0, 1) == 0) {
        return gs1(BARCODE_DATAMATRIX, {{"01", gtin14(random)},
                                        {"17", date(random)},
                                        {"10", randomString(random, kUpperAlnum, 4, 10)},
                                        {"21", randomString(random, kUpperAlnum, 6, 12)}});
    }
    return plain(BARCODE_DATAMATRIX, "SN" + randomString(random, kUpperAlnum, 8, 24));
}

SymbolContent makeAztec(std::mt19937& random) {
    return plain(BARCODE_AZTEC, "TKT" + randomString(random, kDigits, 6, 10) + " " +
                                    randomString(random, kMixedText, 6, 40));
}

SymbolContent makePdf417(std::mt19937& random) {
    std::string text = "ID:" + randomString(random, kDigits, 8, 12) +
                       "\nNAME:" + randomString(random, kUpperAlnum, 4, 12) + "\n";
    const int length = between(random, 30, 120);
    while (static_cast<int>(text.size()) < length) {
        text += randomString(random, kMixedText, 4, 12) + (between(random, 0, 3) == 0 ? "\n" : " ");
    }
    text.resize(length);
    // A trailing space or newline is not visible to the reader's caller; keep text to the end.
    text.back() = '.';
    SymbolContent content = plain(BARCODE_PDF417, text);
    content.request.option2 = between(random, 2, 6);
    return content;
}

SymbolContent makeCode128(std::mt19937& random) {
    switch (between(random, 0, 3)) {
        case 0:
            return gs1(BARCODE_GS1_128, {{"01", gtin14(random)},
                                         {"17", date(random)},
                                         {"10", randomString(random, kUpperAlnum, 3, 8)}});
        case 1:
            return gs1(BARCODE_GS1_128, {{"00", "3" + leadingNonZero(random, 16) + "0"}});
        default: {
            SymbolContent content =
                plain(BARCODE_CODE128, between(random, 0, 1) == 0
                                           ? "1Z" + randomString(random, kUpperAlnum, 10, 16)
                                           : randomString(random, kMixedText, 6, 18));
            content.humanText = content.expected;
            return content;
        }
    }
}

SymbolContent makeCode39(std::mt19937& random) {
    std::string text = randomString(random, kCode39Chars, 6, 14);
    // Spaces at either end vanish into the quiet zone for every reader.
    text.front() = 'P';
    text.back() = randomString(random, kDigits, 1, 1)[0];
    SymbolContent content = plain(BARCODE_CODE39, text);
    content.humanText = "*" + text + "*";
    return content;
}

SymbolContent makeCode93(std::mt19937& random) {
    SymbolContent content = plain(BARCODE_CODE93, randomString(random, kUpperAlnum, 6, 16));
    content.humanText = content.expected;
    return content;
}

SymbolContent makeEan8(std::mt19937& random) {
    const std::string digits = leadingNonZero(random, 7);
    SymbolContent content = plain(BARCODE_EANX, digits);
    content.expected = digits + gs1CheckDigit(digits);
    content.humanText = content.expected;
    return content;
}

SymbolContent makeEan13(std::mt19937& random) {
    const std::string digits = leadingNonZero(random, 12);
    SymbolContent content = plain(BARCODE_EANX, digits);
    content.expected = digits + gs1CheckDigit(digits);
    content.humanText = content.expected;
    return content;
}

SymbolContent makeUpcA(std::mt19937& random) {
    const std::string digits = randomString(random, kDigits, 11, 11);
    SymbolContent content = plain(BARCODE_UPCA, digits);
    content.expected = digits + gs1CheckDigit(digits);
    content.humanText = content.expected;
    return content;
}

/// UPC-E with number system 0: six digits, read as 0, the six and the check digit of the
/// expanded UPC-A number.
SymbolContent makeUpcE(std::mt19937& random) {
    std::string d = randomString(random, kDigits, 6, 6);
    // Each compression form needs its own digit non-zero, or the number has a shorter form.
    if (d[5] == '3' && d[2] < '3') {
        d[2] = '7';
    } else if (d[5] == '4' && d[3] == '0') {
        d[3] = '6';
    } else if (d[5] >= '5' && d[4] == '0') {
        d[4] = '8';
    }
    std::string upcA;
    switch (d[5]) {
        case '0':
        case '1':
        case '2':
            upcA = std::string("0") + d[0] + d[1] + d[5] + "0000" + d[2] + d[3] + d[4];
            break;
        case '3':
            upcA = std::string("0") + d[0] + d[1] + d[2] + "00000" + d[3] + d[4];
            break;
        case '4':
            upcA = std::string("0") + d[0] + d[1] + d[2] + d[3] + "00000" + d[4];
            break;
        default:
            upcA = std::string("0") + d.substr(0, 5) + "0000" + d[5];
    }
    SymbolContent content = plain(BARCODE_UPCE, d);
    content.expected = "0" + d + gs1CheckDigit(upcA);
    content.humanText = content.expected;
    return content;
}

SymbolContent makeItf(std::mt19937& random) {
    if (between(random, 0, 1) == 0) {
        const std::string body = leadingNonZero(random, 13);
        SymbolContent content = plain(BARCODE_ITF14, body);
        content.expected = body + gs1CheckDigit(body);
        content.humanText = content.expected;
        content.bearerBars = true;
        return content;
    }
    const int length = 2 * between(random, 3, 7);
    SymbolContent content = plain(BARCODE_C25INTER, randomString(random, kDigits, length, length));
    content.humanText = content.expected;
    return content;
}

SymbolContent makeIndustrial25(std::mt19937& random) {
    SymbolContent content = plain(BARCODE_C25IND, randomString(random, kDigits, 5, 12));
    content.humanText = content.expected;
    return content;
}

}  // namespace

const std::vector<Symbology>& benchSymbologies() {
    using F = ZXing::BarcodeFormat;
    static const std::vector<Symbology> kSymbologies = {
        {"QR Code", 1, F::QRCode, zbar::ZBAR_QRCODE, true, true, makeQr},
        {"EAN-8", 2, F::EAN8, zbar::ZBAR_EAN8, false, false, makeEan8},
        {"EAN-13", 3, F::EAN13, zbar::ZBAR_EAN13, false, false, makeEan13},
        {"Code 39", 5, F::Code39, zbar::ZBAR_CODE39, false, false, makeCode39},
        {"Code 93", 6, F::Code93, zbar::ZBAR_CODE93, false, false, makeCode93},
        {"Code 128", 7, F::Code128, zbar::ZBAR_CODE128, false, false, makeCode128},
        {"PDF417", 10, F::PDF417, 0, true, false, makePdf417},
        {"Data Matrix", 11, F::DataMatrix, 0, true, true, makeDataMatrix},
        {"ITF", 12, F::ITF, zbar::ZBAR_I25, false, false, makeItf},
        {"UPC-E", 14, F::UPCE, zbar::ZBAR_UPCE, false, false, makeUpcE},
        {"UPC-A", 15, F::UPCA, zbar::ZBAR_UPCA, false, false, makeUpcA},
        {"Industrial 2 of 5", 16, F::None, 0, false, false, makeIndustrial25},
        {"Aztec", 17, F::Aztec, 0, true, true, makeAztec},
    };
    return kSymbologies;
}

}  // namespace telo::bench
