// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SIM_SIM_TREE_H
#define OSTRELSCAN_TESTS_SIM_SIM_TREE_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace telosim {

/// What kind of device a simulated plug brings.
enum class DeviceKind {
    Scanner,      ///< the barcode scanner: USB 0525:a4c1 with the vendor extension unit
    Webcam,       ///< an ordinary UVC webcam: 046d:0825, an extension unit of another GUID
    HalfScanner,  ///< scanner-like, 0525:a4c2: only one of the two ids in its path
    Platform,     ///< a capture device with no USB ancestor
};

DeviceKind ParseKind(const std::string& text, bool& ok);

/// The unit ids of the vendor extension units in a scanner's descriptors: the first, and the
/// second that the layout Second adds.
constexpr std::uint8_t kVendorUnitId = 3;
constexpr std::uint8_t kSecondVendorUnitId = 4;

/// Extension-unit faults, fixed at plug time because they shape the USB descriptors.
enum class UnitLayout {
    Normal,   ///< one vendor unit that answers
    Second,   ///< two vendor units; the first refuses every request
    Refused,  ///< one vendor unit that refuses every request
    Missing,  ///< no vendor unit in the descriptors
};

/// Device settings kept in the state folder; the simulation rereads them when they change, so
/// each takes effect at once, like plugging. Keys:
///   fps=N, first_frame_ms=N (delay of the first frame after STREAMON; real cameras take 300 to
///   1000 ms), frames=on|off, bytesused=N (0: full frames), error_every=N (every Nth frame
///   completes flagged V4L2_BUF_FLAG_ERROR), xu=normal|second|refused|missing (at plug time),
///   ready_reads=N (not-ready answers after power-on), ready=ok|never,
///   handshake=ok|sticky|lost (0x1001 reads the 0x16 echo once, keeps reading 0x16, or the
///   device goes away at its first ready read),
///   open, g_fmt, s_fmt, reqbufs, qbuf, dqbuf, streamon, streamoff = ok | once:ERRNO |
///   always:ERRNO (the call fails with that errno, e.g. once:ENOSPC, always:EACCES).
using Settings = std::map<std::string, std::string>;

/// The simulated machine below one root folder: a sysfs tree, /dev nodes and per-device state.
///   ROOT/sys/class/video4linux/videoN -> ../../devices/.../videoN
///   ROOT/dev/videoN                      "capture ID PLUG" or "meta ID PLUG"; PLUG is new at
///                                        every plug, so descriptors of an earlier plug stay lost
///   ROOT/state/ID/{plug,config,firmware,frame.yuyv,led.log,xu.log,open.log}
class SimTree {
public:
    explicit SimTree(std::string root);
    const std::string& root() const { return root_; }

    /// Plugs a new device; returns its capture node name. `id` names its state folder.
    std::string plug(const std::string& id, DeviceKind kind, const Settings& settings = {});
    /// Removes the device's nodes and sysfs entries; its state stays for a replug.
    void unplug(const std::string& id);
    /// Plugs a device back as it was plugged before.
    std::string replug(const std::string& id);
    /// Removes every device and all state.
    void clear();

    void set(const std::string& id, const std::string& key, const std::string& value);
    Settings settings(const std::string& id) const;
    /// Capture node of a plugged device, empty when unplugged.
    std::string captureNode(const std::string& id) const;

    std::string stateDir(const std::string& id) const;
    std::vector<std::string> ledLog(const std::string& id) const;
    /// The values written to the LED and beeper register ("0x21", ...), oldest first, without
    /// the time stamps of ledLog.
    std::vector<std::string> indicatorWrites(const std::string& id) const;
    /// The extension-unit requests ("SET_CUR unit 3 07 10 00 ff", ...), oldest first.
    std::vector<std::string> xuRequests(const std::string& id) const;

private:
    std::string root_;
};

/// Reads a key=value file; missing file gives an empty map.
Settings ReadSettings(const std::string& path);
/// Writes a key=value file whole, so that a reader never sees half of it.
void WriteSettings(const std::string& path, const Settings& settings);
/// Lines of a text file.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace telosim

#endif
