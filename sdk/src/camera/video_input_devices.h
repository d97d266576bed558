// SPDX-License-Identifier: MIT
#ifndef TELO_CAMERA_VIDEO_INPUT_DEVICES_H
#define TELO_CAMERA_VIDEO_INPUT_DEVICES_H

#include <string>
#include <vector>

namespace telo {

/// One video-input device as discovery and the camera see it.
struct VideoInputDevice {
    std::string node;        ///< kernel node name, e.g. "video0"
    std::string name;        ///< display name
    std::string devicePath;  ///< stable path; for USB devices with "usb:vVVVVpPPPP" appended
};

/// A video node that exists but could not be opened, and why (an errno).
struct UnopenableNode {
    std::string node;
    int error = 0;
};

/// Number of video-input devices. Cheap enough for every poll: devices are only opened when
/// they are new since the previous call.
int countVideoInputDevices();

/// The video-input devices in their stable order; a device's position is its index.
std::vector<VideoInputDevice> listVideoInputDevices();

/// The video nodes that can't be opened now, for instance for want of permission; they are
/// not video-input devices until they can be.
std::vector<UnopenableNode> unopenableVideoNodes();

}  // namespace telo

#endif
