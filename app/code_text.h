// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_CODE_TEXT_H
#define OSTRELSCAN_CODE_TEXT_H

#include <QString>

#include <cstdint>

/// The symbology index of QR Code, the one symbology whose text may come in a national
/// encoding without saying so.
constexpr int32_t kQrCodeSymbology = 1;

/// The text of a decoded code's bytes, up to the first zero byte. Valid UTF-8 is read as
/// UTF-8. Anything else is read, for a QR Code, as whichever of GB18030, Shift_JIS and
/// ISO-8859-1 reads the bytes most plausibly, and for every other symbology as ISO-8859-1,
/// their default character set.
QString codeText(const char* bytes, int32_t symbology);

#endif
