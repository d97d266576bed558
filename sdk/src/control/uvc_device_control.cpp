// SPDX-License-Identifier: MIT
#include "control/uvc_device_control.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "control/device_property.h"
#include "control/usb_descriptors.h"
#include "v4l2_device.h"

namespace telo {
namespace {

constexpr std::uint8_t kVendorSelector = 1;
constexpr std::size_t kMaxDescriptorBytes = 64 * 1024;

}  // namespace

UvcDeviceControl::UvcDeviceControl(std::shared_ptr<const UniqueFd> fd,
                                   std::vector<std::uint8_t> units)
    : fd_(std::move(fd)), units_(std::move(units)) {}

int UvcDeviceControl::propertySetRequest(int, bool, std::uint32_t, DeviceRegisterRecord&) {
    return kNotOffered;
}

int UvcDeviceControl::extensionUnitSet(int node, const ExtensionUnitPayload& payload) {
    ExtensionUnitPayload copy = payload;
    return query(node, UVC_SET_CUR, copy.data());
}

int UvcDeviceControl::extensionUnitGet(int node, ExtensionUnitPayload& payload) {
    return query(node, UVC_GET_CUR, payload.data());
}

int UvcDeviceControl::query(int node, std::uint8_t request, std::uint8_t* data) {
    if (node < 1 || static_cast<std::size_t>(node) > units_.size()) {
        return -ENOENT;
    }
    uvc_xu_control_query query{};
    query.unit = units_[node - 1];
    query.selector = kVendorSelector;
    query.query = request;
    query.size = sizeof(ExtensionUnitPayload);
    query.data = data;
    // Refusals are how the routes find the unit that answers: they are not reported.
    return deviceIoctl(fd_->get(), UVCIOC_CTRL_QUERY, &query, "UVCIOC_CTRL_QUERY", true);
}

std::vector<std::uint8_t> vendorExtensionUnitsOf(const char* nodeName) {
    // device/ is the USB interface; its parent is the USB device that holds the descriptors.
    const std::string path =
        std::string(kVideoClassDir) + "/" + nodeName + "/device/../descriptors";
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return {};
    }
    std::vector<std::uint8_t> bytes(kMaxDescriptorBytes);
    std::size_t size = 0;
    while (size < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        size += static_cast<std::size_t>(n);
    }
    return findExtensionUnits(bytes.data(), size, kVendorExtensionUnit);
}

}  // namespace telo
