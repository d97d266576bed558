// SPDX-License-Identifier: MIT
#include "sim_tree.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace telosim {
namespace {

struct KindInfo {
    const char* name;
    const char* vendor;
    const char* product;
    const char* displayName;
};

// In DeviceKind's order.
constexpr KindInfo kKinds[] = {
    {"scanner", "0525", "a4c1", "T900 Barcode Scanner"},
    {"webcam", "046d", "0825", "UVC Camera (046d:0825)"},
    {"half", "0525", "a4c2", "T900 Barcode Scanner (service mode)"},
    {"platform", "", "", "vivid-000-vid-cap"},
};

KindInfo Info(DeviceKind kind) {
    return kKinds[static_cast<int>(kind)];
}

constexpr std::uint8_t kVendorGuid[16] = {0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A,
                                          0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};
constexpr std::uint8_t kOtherGuid[16] = {0x94, 0x73, 0xDF, 0xDD, 0x3E, 0x97, 0x27, 0x47,
                                         0xBE, 0xD9, 0x04, 0xED, 0x64, 0x26, 0xDC, 0x67};

void AppendExtensionUnit(std::vector<std::uint8_t>& out, std::uint8_t unit,
                         const std::uint8_t* guid) {
    out.insert(out.end(), {26, 0x24, 0x06, unit});
    out.insert(out.end(), guid, guid + 16);
    out.insert(out.end(), {1, 1, 2, 1, 0x01, 0});
}

// Device descriptor and one configuration, shaped as uvcvideo's devices expose them.
std::vector<std::uint8_t> Descriptors(DeviceKind kind, UnitLayout layout, std::uint16_t vendor,
                                      std::uint16_t product) {
    std::vector<std::uint8_t> out = {18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40};
    for (const std::uint16_t id : {vendor, product}) {
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8)});
    }
    out.insert(out.end(), {0x00, 0x01, 1, 2, 0, 1});
    const std::size_t config = out.size();
    out.insert(out.end(), {9, 0x02, 0, 0, 2, 1, 0, 0x80, 0xFA});
    out.insert(out.end(), {8, 0x0B, 0, 2, 0x0E, 0x03, 0x00, 0});     // association
    out.insert(out.end(), {9, 0x04, 0, 0, 1, 0x0E, 0x01, 0x00, 0});  // VideoControl
    out.insert(out.end(), {13, 0x24, 0x01, 0x00, 0x01, 0x4D, 0, 0x80, 0x8D, 0x5B, 0x00, 1, 1});
    out.insert(out.end(), {18, 0x24, 0x02, 1, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0});
    out.insert(out.end(), {11, 0x24, 0x05, 2, 1, 0, 0, 2, 0x7F, 0x00, 0});  // processing unit
    if (kind == DeviceKind::Webcam) {
        AppendExtensionUnit(out, 4, kOtherGuid);
    } else if (layout != UnitLayout::Missing) {
        AppendExtensionUnit(out, kVendorUnitId, kVendorGuid);
        if (layout == UnitLayout::Second) {
            AppendExtensionUnit(out, kSecondVendorUnitId, kVendorGuid);
        }
    }
    out.insert(out.end(), {9, 0x24, 0x03, 5, 0x01, 0x01, 0, 3, 0});  // output terminal
    out.insert(out.end(), {7, 0x05, 0x83, 0x03, 0x10, 0x00, 0x06});  // interrupt endpoint
    out.insert(out.end(), {9, 0x04, 1, 0, 1, 0x0E, 0x02, 0x00, 0});  // VideoStreaming
    const std::size_t total = out.size() - config;
    out[config + 2] = static_cast<std::uint8_t>(total & 0xFF);
    out[config + 3] = static_cast<std::uint8_t>(total >> 8);
    return out;
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

UnitLayout ParseLayout(const std::string& text) {
    return text == "second"    ? UnitLayout::Second
           : text == "refused" ? UnitLayout::Refused
           : text == "missing" ? UnitLayout::Missing
                               : UnitLayout::Normal;
}

std::uint16_t Hex(const char* text) {
    return static_cast<std::uint16_t>(std::stoul(text, nullptr, 16));
}

// The lines of a time-stamped log without their time stamps.
std::vector<std::string> WithoutTimes(const std::vector<std::string>& lines) {
    std::vector<std::string> rest;
    for (const std::string& line : lines) {
        rest.push_back(line.substr(line.find(' ') + 1));
    }
    return rest;
}

// What the state folder's plug file records: "KIND NODE UNPLUG-PATH"; empty when never plugged.
struct PlugRecord {
    std::string kind, node, unplugPath;
};

PlugRecord ReadPlug(const std::string& stateDir) {
    PlugRecord record;
    const std::vector<std::string> lines = ReadLines(stateDir + "/plug");
    if (!lines.empty()) {
        std::istringstream(lines.front()) >> record.kind >> record.node >> record.unplugPath;
    }
    return record;
}

}  // namespace

DeviceKind ParseKind(const std::string& text, bool& ok) {
    const auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const KindInfo& info) { return text == info.name; });
    ok = found != std::end(kKinds);
    return ok ? static_cast<DeviceKind>(found - std::begin(kKinds)) : DeviceKind::Scanner;
}

Settings ReadSettings(const std::string& path) {
    Settings settings;
    for (const std::string& line : ReadLines(path)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            settings[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return settings;
}

void WriteSettings(const std::string& path, const Settings& settings) {
    std::ostringstream text;
    for (const auto& [key, value] : settings) {
        text << key << '=' << value << '\n';
    }
    // A temporary name of its own: the simulated device and the test may write at once.
    static std::atomic<unsigned> writes{0};
    const fs::path temporary =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++writes);
    WriteText(temporary, text.str());
    fs::rename(temporary, path);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

SimTree::SimTree(std::string root) : root_(std::move(root)) {
    for (const char* folder : {"sys/class/video4linux", "dev", "state"}) {
        fs::create_directories(fs::path(root_) / folder);
    }
}

std::string SimTree::stateDir(const std::string& id) const {
    return (fs::path(root_) / "state" / id).string();
}

std::string SimTree::plug(const std::string& id, DeviceKind kind, const Settings& settings) {
    const fs::path state = stateDir(id);
    fs::create_directories(state);
    Settings merged = ReadSettings((state / "config").string());
    for (const auto& [key, value] : settings) {
        merged[key] = value;
    }
    WriteSettings((state / "config").string(), merged);

    // Node numbers: the lowest free pair, as uvcvideo registers capture then metadata node.
    std::set<int> used;
    for (const auto& entry : fs::directory_iterator(fs::path(root_) / "dev")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("video", 0) == 0) {
            used.insert(std::stoi(name.substr(5)));
        }
    }
    int number = 0;
    while (used.count(number) != 0 || used.count(number + 1) != 0) {
        ++number;
    }
    // USB ports: the lowest free one on bus 1.
    int port = 1;
    while (fs::exists(fs::path(root_) /
                      ("sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(port)))) {
        ++port;
    }

    const KindInfo info = Info(kind);
    const std::string portName = "1-" + std::to_string(port);
    fs::path parent;  // the folder that holds video4linux/
    std::string relativeDevice;
    std::string unplugPath;
    if (kind == DeviceKind::Platform) {
        const std::string platformName = "vivid." + std::to_string(number);
        unplugPath = "sys/devices/platform/" + platformName;
        parent = fs::path(root_) / unplugPath;
        relativeDevice = "../../../" + platformName;
    } else {
        unplugPath = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + portName;
        const fs::path usb = fs::path(root_) / unplugPath;
        fs::create_directories(usb);
        WriteText(usb / "idVendor", std::string(info.vendor) + "\n");
        WriteText(usb / "idProduct", std::string(info.product) + "\n");
        WriteText(usb / "product", std::string(info.displayName) + "\n");
        const std::vector<std::uint8_t> bytes =
            Descriptors(kind, ParseLayout(merged["xu"]), Hex(info.vendor), Hex(info.product));
        WriteText(usb / "descriptors", std::string(bytes.begin(), bytes.end()));
        const std::string interfaceName = portName + ":1.0";
        parent = usb / interfaceName;
        relativeDevice = "../../../" + interfaceName;
    }

    const fs::path classDir = fs::path(root_) / "sys/class/video4linux";
    const std::string plugMark =
        std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
    const std::string sysRelative = fs::relative(parent, fs::path(root_) / "sys").string();
    for (int offset = 0; offset < 2; ++offset) {
        const std::string node = "video" + std::to_string(number + offset);
        const fs::path nodeDir = parent / "video4linux" / node;
        fs::create_directories(nodeDir);
        WriteText(nodeDir / "name", std::string(info.displayName) + "\n");
        WriteText(nodeDir / "index", std::to_string(offset) + "\n");
        WriteText(nodeDir / "dev", "81:" + std::to_string(number + offset) + "\n");
        fs::create_directory_symlink(relativeDevice, nodeDir / "device");
        fs::create_directory_symlink("../../" + sysRelative + "/video4linux/" + node,
                                     classDir / node);
        WriteText(fs::path(root_) / "dev" / node,
                  std::string(offset == 0 ? "capture " : "meta ") + id + " " + plugMark + "\n");
    }
    const std::string node = "video" + std::to_string(number);
    WriteText(state / "plug", std::string(info.name) + " " + node + " " + unplugPath + "\n");
    return node;
}

void SimTree::unplug(const std::string& id) {
    const auto [kind, node, unplugPath] = ReadPlug(stateDir(id));
    if (node.empty() || !fs::exists(fs::path(root_) / "dev" / node)) {
        return;
    }
    const int number = std::stoi(node.substr(5));
    // The /dev node goes first: open streams notice the loss at once.
    for (int offset = 0; offset < 2; ++offset) {
        const std::string name = "video" + std::to_string(number + offset);
        fs::remove(fs::path(root_) / "dev" / name);
        fs::remove(fs::path(root_) / "sys/class/video4linux" / name);
    }
    fs::remove_all(fs::path(root_) / unplugPath);
}

std::string SimTree::replug(const std::string& id) {
    const PlugRecord record = ReadPlug(stateDir(id));
    if (record.kind.empty()) {
        throw std::runtime_error("device " + id + " was never plugged");
    }
    if (!captureNode(id).empty()) {
        return captureNode(id);
    }
    bool ok = false;
    return plug(id, ParseKind(record.kind, ok));
}

void SimTree::clear() {
    for (const char* folder : {"dev", "state", "sys"}) {
        fs::remove_all(fs::path(root_) / folder);
    }
    *this = SimTree(root_);
}

void SimTree::set(const std::string& id, const std::string& key, const std::string& value) {
    const fs::path state = stateDir(id);
    fs::create_directories(state);
    Settings settings = ReadSettings((state / "config").string());
    settings[key] = value;
    WriteSettings((state / "config").string(), settings);
}

Settings SimTree::settings(const std::string& id) const {
    return ReadSettings(stateDir(id) + "/config");
}

std::string SimTree::captureNode(const std::string& id) const {
    const std::string node = ReadPlug(stateDir(id)).node;
    return !node.empty() && fs::exists(fs::path(root_) / "dev" / node) ? node : std::string();
}

std::vector<std::string> SimTree::ledLog(const std::string& id) const {
    return ReadLines(stateDir(id) + "/led.log");
}

std::vector<std::string> SimTree::indicatorWrites(const std::string& id) const {
    return WithoutTimes(ledLog(id));
}

std::vector<std::string> SimTree::xuRequests(const std::string& id) const {
    return WithoutTimes(ReadLines(stateDir(id) + "/xu.log"));
}

}  // namespace telosim
