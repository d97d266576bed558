// SPDX-License-Identifier: MIT
#include "loaded_settings.h"

#include <QSettings>
#include <QVariant>

namespace {

bool readBool(const QSettings& file, const char* key) {
    return file.value(key, QVariant()).toBool();
}

int32_t readInt(const QSettings& file, const char* key) {
    return file.value(key, QVariant()).toInt();
}

// The interval is written as a 64-bit number; a text that is no unsigned number reads as 0.
uint64_t readInterval(const QSettings& file, const char* key) {
    return file.value(key, QVariant()).toULongLong();
}

QString readText(const QSettings& file, const char* key) {
    return file.value(key, QVariant()).toString();
}

}  // namespace

LoadedSettings readSettingsFile(const QString& path) {
    const QSettings file(path, QSettings::IniFormat);
    LoadedSettings loaded;
    // The keys keep their stored names and spelling ("workmode"): existing Oconfig.ini files
    // use them.
    loaded.qrcode = readBool(file, "/qrcode");
    loaded.ean8 = readBool(file, "/ean8");
    loaded.ean13 = readBool(file, "/ean13");
    loaded.code39 = readBool(file, "/code39");
    loaded.code93 = readBool(file, "/code93");
    loaded.code128 = readBool(file, "/code128");
    loaded.pdf417 = readBool(file, "/pdf417");
    loaded.datamatrix = readBool(file, "/datamatrix");
    loaded.itf = readBool(file, "/itf");
    loaded.upce = readBool(file, "/upce");
    loaded.upca = readBool(file, "/upca");
    loaded.industrial25 = readBool(file, "/industrial25");
    loaded.backlight = readBool(file, "/backlight");
    loaded.beep = readBool(file, "/beep");
    loaded.enter = readBool(file, "/enter");
    loaded.workmode = readInt(file, "/workmode");
    loaded.interval = readInterval(file, "/interval");
    loaded.prefix = readText(file, "/prefix");
    loaded.suffix = readText(file, "/suffix");
    loaded.wrap = readBool(file, "/wrap");
    return loaded;
}
