// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_WINDOW_LOADED_SETTINGS_H
#define OSTRELSCAN_WINDOW_LOADED_SETTINGS_H

#include <QString>

#include <cstdint>

/// The values read from the settings file at start-up, held until they are applied.
struct LoadedSettings {
    bool qrcode = false;
    bool ean8 = false;
    bool ean13 = false;
    bool code39 = false;
    bool code93 = false;
    bool code128 = false;
    bool pdf417 = false;
    bool datamatrix = false;
    bool itf = false;
    bool upce = false;
    bool upca = false;
    bool industrial25 = false;
    bool backlight = false;
    bool beep = false;
    bool enter = false;
    int32_t workmode = 0;   ///< 1 single mode, 2 interval mode, anything else neither
    uint64_t interval = 0;  ///< read whole, so that an interval written larger than 32 bits survives
    QString prefix;
    QString suffix;
    bool wrap = false;
};

/// The settings file's name, relative to the working directory.
inline const char* const kSettingsFileName = "Oconfig.ini";

/// Reads every key of the INI file at path; an absent, unreadable or malformed value reads as
/// false, 0 or empty text.
LoadedSettings readSettingsFile(const QString& path);

#endif
