#pragma once

#include <string>
#include <vector>

namespace telo {

/// One video-input device as discovery and the camera see it.
struct VideoInputDevice {
    std::string node;        ///< kernel node name, e.g. "video0"
    std::string name;        ///< display name
    std::string devicePath;  ///< stable path; for USB devices with "usb:vVVVVpPPPP" appended
};

/// Number of video-input devices. Cheap enough for every poll: devices are only opened when
/// they are new since the previous call.
int CountVideoInputDevices();

/// The video-input devices in their stable order; a device's position is its index.
std::vector<VideoInputDevice> ListVideoInputDevices();

}  // namespace telo
