// SPDX-License-Identifier: MIT
#ifndef TELO_SCANNER_IDENTITY_H
#define TELO_SCANNER_IDENTITY_H

namespace telo {

/// The scanner is the first video-input device whose device path holds both of these: its USB
/// vendor and product ids as the path spells them.
inline constexpr const char kScannerVendorId[] = "0525";
inline constexpr const char kScannerProductId[] = "a4c1";

/// The frame size the library asks the scanner's camera for.
inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;

}  // namespace telo

#endif
