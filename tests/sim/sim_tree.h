#pragma once

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
const char* KindName(DeviceKind kind);

/// Extension-unit faults, fixed at plug time because they shape the USB descriptors.
enum class UnitLayout {
    Normal,   ///< one vendor unit that answers
    Second,   ///< two vendor units; the first refuses every request
    Refused,  ///< one vendor unit that refuses every request
    Missing,  ///< no vendor unit in the descriptors
};

/// Device settings kept in the state folder; the interposer rereads them when they change.
/// Keys: fps, frames (on|off), bytesused (0: full frames), xu (normal|second|refused|missing),
/// ready_reads (not-ready answers before the device is ready), ready (ok|never),
/// handshake (ok|lost: the device goes away at its first ready read), g_fmt / s_fmt (ok|fail).
using Settings = std::map<std::string, std::string>;

/// The simulated machine below one root folder: a sysfs tree, /dev nodes and per-device state.
///   ROOT/sys/class/video4linux/videoN -> ../../devices/.../videoN
///   ROOT/dev/videoN                      "capture ID" or "meta ID"
///   ROOT/state/ID/{plug,config,frame.yuyv,led.log,xu.log,open.log}
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
    std::vector<std::string> xuLog(const std::string& id) const;

private:
    std::string root_;
};

/// Reads a key=value file; missing file gives an empty map.
Settings ReadSettings(const std::string& path);
/// Lines of a text file.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace telosim
