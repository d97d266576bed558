// SPDX-License-Identifier: MIT
#include "code_text.h"

#include <QByteArray>
#include <QTextCodec>

#include <array>

namespace {

/// How plausibly an encoding reads a text: impossible, or a score that grows with every
/// byte of a common character and shrinks with every byte of a rare one.
struct Reading {
    const char* codec;
    bool possible = true;
    int score = 0;
};

bool in(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// GB18030: GB2312's symbols and hanzi (leading byte A1-A9 or B0-F7, trailing A1-FE) are
// common; GBK's extensions, user-defined areas and four-byte sequences are rare.
Reading readGb18030(const QByteArray& bytes) {
    Reading reading{"GB18030"};
    const auto at = [&bytes](int i) { return static_cast<unsigned char>(bytes[i]); };
    for (int i = 0; i < bytes.size() && reading.possible;) {
        const unsigned char lead = at(i);
        if (lead < 0x80) {
            ++i;
        } else if (!in(lead, 0x81, 0xFE) || i + 1 >= bytes.size()) {
            reading.possible = false;
        } else if (in(at(i + 1), 0x30, 0x39)) {
            reading.possible =
                i + 3 < bytes.size() && in(at(i + 2), 0x81, 0xFE) && in(at(i + 3), 0x30, 0x39);
            reading.score -= 4;
            i += 4;
        } else if (in(at(i + 1), 0x40, 0x7E) || in(at(i + 1), 0x80, 0xFE)) {
            const bool common =
                (in(lead, 0xA1, 0xA9) || in(lead, 0xB0, 0xF7)) && in(at(i + 1), 0xA1, 0xFE);
            reading.score += common ? 2 : -2;
            i += 2;
        } else {
            reading.possible = false;
        }
    }
    return reading;
}

// Shift_JIS: JIS X 0208's symbols, kana and level 1 and 2 kanji are common; NEC's and IBM's
// extensions and half-width katakana (a legacy form that other encodings' letters and hanzi
// also read as) are rare.
Reading readShiftJis(const QByteArray& bytes) {
    Reading reading{"Shift_JIS"};
    const auto at = [&bytes](int i) { return static_cast<unsigned char>(bytes[i]); };
    for (int i = 0; i < bytes.size() && reading.possible;) {
        const unsigned char lead = at(i);
        if (lead < 0x80) {
            ++i;
        } else if (in(lead, 0xA1, 0xDF)) {
            reading.score -= 1;
            ++i;
        } else if ((in(lead, 0x81, 0x9F) || in(lead, 0xE0, 0xEF)) && i + 1 < bytes.size() &&
                   (in(at(i + 1), 0x40, 0x7E) || in(at(i + 1), 0x80, 0xFC))) {
            const bool common =
                in(lead, 0x81, 0x84) || in(lead, 0x88, 0x9F) || in(lead, 0xE0, 0xEA);
            reading.score += common ? 2 : -2;
            i += 2;
        } else {
            reading.possible = false;
        }
    }
    return reading;
}

// ISO-8859-1: C1 control characters never appear in text; letters are common, the other
// signs of the upper half rare.
Reading readLatin1(const QByteArray& bytes) {
    Reading reading{"ISO-8859-1"};
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (in(b, 0x80, 0x9F)) {
            reading.possible = false;
        } else if (b >= 0xC0 && b != 0xD7 && b != 0xF7) {
            reading.score += 1;
        } else if (b >= 0xA0) {
            reading.score -= 1;
        }
    }
    return reading;
}

bool isUtf8(const QByteArray& bytes) {
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

}  // namespace

QString codeText(const char* bytes, int32_t symbology) {
    const QByteArray code(bytes);
    if (isUtf8(code)) {
        return QString::fromUtf8(code);
    }
    if (symbology != kQrCodeSymbology) {
        return QString::fromLatin1(code);
    }
    // Ties go to the first: Chinese labels are this scanner's most common foreign text.
    const std::array<Reading, 3> readings = {readGb18030(code), readShiftJis(code),
                                             readLatin1(code)};
    const Reading* best = nullptr;
    for (const Reading& reading : readings) {
        if (reading.possible && (best == nullptr || reading.score > best->score)) {
            best = &reading;
        }
    }
    QTextCodec* codec = best != nullptr ? QTextCodec::codecForName(best->codec) : nullptr;
    return codec != nullptr ? codec->toUnicode(code) : QString::fromLatin1(code);
}
