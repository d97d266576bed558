#include "symbologies.h"

#include <zbar.h>

#include <string_view>

namespace telo::bench {

namespace {

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kCode39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
constexpr std::string_view kText =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.:/+";

std::string RandomString(std::mt19937& random, std::string_view alphabet, int minLength,
                         int maxLength) {
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(length(random), ' ');
    for (char& c : text) {
        c = alphabet[pick(random)];
    }
    return text;
}

/// The GS1 mod-10 check digit of `digits`.
char Gs1CheckDigit(std::string_view digits) {
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, weight = 4 - weight) {
        sum += (*it - '0') * weight;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

/// Digits that do not start with 0 (EAN-13 with a leading 0 is UPC-A).
std::string LeadingNonZero(std::mt19937& random, int length) {
    std::string digits = RandomString(random, kDigits, length, length);
    if (digits[0] == '0') {
        digits[0] = '5';
    }
    return digits;
}

SymbolData Gs1Data(std::string digits) {
    return {digits, digits + Gs1CheckDigit(digits)};
}

SymbolData MakeEan8(std::mt19937& random) {
    return Gs1Data(LeadingNonZero(random, 7));
}
SymbolData MakeEan13(std::mt19937& random) {
    return Gs1Data(LeadingNonZero(random, 12));
}
SymbolData MakeUpcA(std::mt19937& random) {
    return Gs1Data(RandomString(random, kDigits, 11, 11));
}

/// UPC-E with number system 0: six digits, read back as 0, the six and the check digit of the
/// expanded UPC-A number.
SymbolData MakeUpcE(std::mt19937& random) {
    std::string d = RandomString(random, kDigits, 6, 6);
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
    return {d, "0" + d + Gs1CheckDigit(upcA)};
}

SymbolData MakeCode39(std::mt19937& random) {
    std::string text = RandomString(random, kCode39Chars, 5, 9);
    // Spaces at either end are hard to tell from the quiet zone for every reader.
    text.front() = 'C';
    text.back() = '9';
    return {text, text};
}

SymbolData MakeCode93(std::mt19937& random) {
    std::string text = RandomString(random, kText, 6, 12);
    return {text, text};
}

SymbolData MakeCode128(std::mt19937& random) {
    std::string text = RandomString(random, kText, 6, 14);
    return {text, text};
}

SymbolData MakeItf(std::mt19937& random) {
    const int length = 2 * std::uniform_int_distribution<int>(4, 7)(random);
    std::string digits = RandomString(random, kDigits, length, length);
    return {digits, digits};
}

SymbolData MakeIndustrial25(std::mt19937& random) {
    std::string digits = RandomString(random, kDigits, 5, 10);
    return {digits, digits};
}

SymbolData MakeCodabar(std::mt19937& random) {
    std::string digits = RandomString(random, kDigits, 6, 12);
    return {"A" + digits + "B", digits};
}

SymbolData MakeText(std::mt19937& random) {
    std::string text = RandomString(random, kText, 10, 40);
    return {text, text};
}

SymbolData MakeShortText(std::mt19937& random) {
    std::string text = RandomString(random, kText, 8, 24);
    return {text, text};
}

}  // namespace

const std::vector<Symbology>& BenchSymbologies() {
    using F = ZXing::BarcodeFormat;
    static const std::vector<Symbology> kSymbologies = {
        {"QR Code", "QRCODE", "", 1, F::QRCode, zbar::ZBAR_QRCODE, 2.5, 6, MakeText},
        {"EAN-8", "EANX", "", 2, F::EAN8, zbar::ZBAR_EAN8, 1.5, 4, MakeEan8},
        {"EAN-13", "EANX", "", 3, F::EAN13, zbar::ZBAR_EAN13, 1.5, 3.5, MakeEan13},
        {"Code 39", "CODE39", "--height=40", 5, F::Code39, zbar::ZBAR_CODE39, 1.5, 3, MakeCode39},
        {"Code 93", "CODE93", "--height=40", 6, F::Code93, zbar::ZBAR_CODE93, 1.5, 3, MakeCode93},
        {"Code 128", "CODE128", "--height=40", 7, F::Code128, zbar::ZBAR_CODE128, 1.5, 3,
         MakeCode128},
        {"PDF417", "PDF417", "--cols=3", 10, F::PDF417, zbar::ZBAR_PDF417, 1.5, 2.5, MakeShortText},
        {"Data Matrix", "DATAMATRIX", "", 11, F::DataMatrix, 0, 2.5, 6, MakeText},
        {"ITF", "C25INTER", "--height=40", 12, F::ITF, zbar::ZBAR_I25, 1.5, 3, MakeItf},
        {"UPC-E", "UPCE", "", 14, F::UPCE, zbar::ZBAR_UPCE, 1.5, 4, MakeUpcE},
        {"UPC-A", "UPCA", "", 15, F::UPCA, zbar::ZBAR_UPCA, 1.5, 3.5, MakeUpcA},
        {"Industrial 2 of 5", "C25IND", "--height=40", 16, F::None, 0, 1.5, 2.5, MakeIndustrial25},
        {"Aztec", "AZTEC", "", 17, F::Aztec, 0, 2.5, 6, MakeText},
        {"Codabar", "CODABAR", "--height=40", -1, F::Codabar, zbar::ZBAR_CODABAR, 1.5, 3,
         MakeCodabar},
    };
    return kSymbologies;
}

}  // namespace telo::bench
