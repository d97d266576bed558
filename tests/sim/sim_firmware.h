// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SIM_SIM_FIRMWARE_H
#define OSTRELSCAN_TESTS_SIM_SIM_FIRMWARE_H

#include <cstdint>
#include <string>

#include "sim_tree.h"

namespace telosim {

/// The scanner firmware's vendor properties.
constexpr int kPropertyReady = 0x1001;      ///< start-up state, then the 0x16 handshake
constexpr int kPropertyIndicator = 0x1006;  ///< LED (bit 0) and beeper (bit 2), logged
constexpr int kPropertyCapture = 0x1007;

/// The scanner firmware behind the vendor extension unit, from power-on (plug) to power-off
/// (unplug). Its state lives in the device's state folder, so it survives closing and reopening
/// the device, by another process too; a new plug starts it afresh.
class SimFirmware {
public:
    /// The firmware of device `id` as plugged at `plugMark` (see SimTree).
    SimFirmware(std::string root, std::string id, std::string plugMark);

    /// The read select of the extension unit: the property that the next read-back answers.
    void select(int property, const Settings& settings);
    /// The selected property's value. A read of 0x1001 with handshake=lost unplugs the device.
    std::uint8_t readSelected(const Settings& settings);
    void write(int property, std::uint8_t value, const Settings& settings);

private:
    Settings load(const Settings& settings) const;
    void save(const Settings& state) const;

    std::string root_;
    std::string id_;
    std::string plugMark_;
    std::string stateDir_;
};

}  // namespace telosim

#endif
