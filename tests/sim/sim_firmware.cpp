// SPDX-License-Identifier: MIT
#include "sim_firmware.h"

#include <time.h>

#include <cstdio>
#include <fstream>

namespace telosim {
namespace {

constexpr std::uint8_t kNotReady = 0x3F;
constexpr std::uint8_t kReady = 0x07;
constexpr std::uint8_t kHandshakeValue = 0x16;
constexpr std::uint8_t kIndicatorAtPowerOn = 0x20;
constexpr std::uint8_t kCaptureAtPowerOn = 0x02;
constexpr int kDefaultReadyReads = 3;

// The phases of 0x1001 after power-on. Once handshaken, the firmware echoes 0x16 at the next
// read and then reads ready again, or with handshake=sticky keeps reading 0x16.
constexpr const char* kBooting = "booting";
constexpr const char* kReadyPhase = "ready";
constexpr const char* kHandshaken = "handshaken";

std::string PropertyKey(int property) {
    char key[16];
    std::snprintf(key, sizeof key, "0x%04x", property);
    return key;
}

std::string Setting(const Settings& settings, const char* key, const char* fallback) {
    const auto found = settings.find(key);
    return found != settings.end() ? found->second : fallback;
}

}  // namespace

SimFirmware::SimFirmware(std::string root, std::string id, std::string plugMark)
    : root_(std::move(root)),
      id_(std::move(id)),
      plugMark_(std::move(plugMark)),
      stateDir_(root_ + "/state/" + id_) {}

Settings SimFirmware::load(const Settings& settings) const {
    Settings state = ReadSettings(stateDir_ + "/firmware");
    if (Setting(state, "plug", "") == plugMark_) {
        return state;
    }
    return {
        {"plug", plugMark_},
        {"phase", kBooting},
        {"not_ready", Setting(settings, "ready_reads", std::to_string(kDefaultReadyReads).c_str())},
        {"selected", "0"},
        {PropertyKey(kPropertyIndicator), std::to_string(kIndicatorAtPowerOn)},
        {PropertyKey(kPropertyCapture), std::to_string(kCaptureAtPowerOn)}};
}

void SimFirmware::save(const Settings& state) const {
    try {
        WriteSettings(stateDir_ + "/firmware", state);
    } catch (const std::exception&) {
        // The device's state folder went with a cleared root; the firmware is gone too.
    }
}

void SimFirmware::select(int property, const Settings& settings) {
    Settings state = load(settings);
    state["selected"] = std::to_string(property);
    save(state);
}

std::uint8_t SimFirmware::readSelected(const Settings& settings) {
    Settings state = load(settings);
    const int property = std::stoi(state["selected"]);
    if (property != kPropertyReady) {
        return static_cast<std::uint8_t>(
            std::stoi(Setting(state, PropertyKey(property).c_str(), "0")));
    }
    if (Setting(settings, "handshake", "ok") == "lost") {
        SimTree(root_).unplug(id_);
        return kNotReady;
    }
    std::uint8_t value = kReady;
    if (state["phase"] == kBooting) {
        const int notReady = std::stoi(state["not_ready"]);
        if (notReady > 0 || Setting(settings, "ready", "ok") == "never") {
            state["not_ready"] = std::to_string(notReady > 0 ? notReady - 1 : 0);
            value = kNotReady;
        } else {
            state["phase"] = kReadyPhase;
        }
    } else if (state["phase"] == kHandshaken &&
               (state["echoed"] != "1" || Setting(settings, "handshake", "ok") == "sticky")) {
        value = kHandshakeValue;
        state["echoed"] = "1";
    }
    save(state);
    return value;
}

void SimFirmware::write(int property, std::uint8_t value, const Settings& settings) {
    Settings state = load(settings);
    if (property == kPropertyReady && value == kHandshakeValue && state["phase"] != kBooting) {
        state["phase"] = kHandshaken;
        state["echoed"] = "0";
    }
    state[PropertyKey(property)] = std::to_string(value);
    save(state);
    if (property == kPropertyIndicator) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        char line[64];
        std::snprintf(line, sizeof line, "%ld.%06ld 0x%02x\n", static_cast<long>(now.tv_sec),
                      now.tv_nsec / 1000, value);
        std::ofstream(stateDir_ + "/led.log", std::ios::app) << line;
    }
}

}  // namespace telosim
