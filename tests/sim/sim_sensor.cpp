// SPDX-License-Identifier: MIT
#include "sim_sensor.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace telosim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kPictureBytes = kPictureWidth * kPictureHeight * 2;
constexpr std::uint8_t kWhite = 0xFF;
constexpr std::uint8_t kNeutralChroma = 0x80;
constexpr int kStampBytes = 8;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

double RealSeconds(const timespec& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

}  // namespace

SimSensor::SimSensor(std::string stateDir)
    : stateDir_(std::move(stateDir)),
      picture_(kPictureBytes, kNeutralChroma),
      previousPicture_(kPictureBytes, kNeutralChroma),
      incoming_(kPictureBytes) {
    for (std::size_t i = 0; i < picture_.size(); i += 2) {
        picture_[i] = kWhite;
        previousPicture_[i] = kWhite;
    }
}

void SimSensor::refresh() {
    const std::string path = stateDir_ + "/frame.yuyv";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || SameFile(st, pictureFile_)) {
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::size_t size = 0;
    ssize_t n;
    while (size < kPictureBytes &&
           (n = ::read(fd, incoming_.data() + size, kPictureBytes - size)) > 0) {
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (size != kPictureBytes) {
        return;
    }
    previousPicture_.swap(picture_);
    picture_.swap(incoming_);
    // The picture has been in front of the camera since the file was written.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const double age = std::max(0.0, RealSeconds(now) - RealSeconds(st.st_mtim));
    pictureSince_ = Clock::now() - std::chrono::microseconds(static_cast<long>(age * 1e6));
    pictureFile_ = st;
}

void SimSensor::capture(Clock::time_point captured, std::uint8_t* out, std::uint32_t width,
                        std::uint32_t height) {
    refresh();
    const std::vector<std::uint8_t>& shown = captured < pictureSince_ ? previousPicture_ : picture_;
    if (width == kPictureWidth && height == kPictureHeight) {
        std::memcpy(out, shown.data(), shown.size());
    } else {
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::uint32_t sy = y * kPictureHeight / height;
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint32_t sx = x * kPictureWidth / width;
                out[(y * width + x) * 2] = shown[(sy * kPictureWidth + sx) * 2];
                out[(y * width + x) * 2 + 1] = kNeutralChroma;
            }
        }
    }
    const auto stamp =
        std::chrono::duration_cast<std::chrono::nanoseconds>(captured.time_since_epoch()).count();
    for (int i = 0; i < kStampBytes; ++i) {
        out[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(stamp) >> (8 * i));
    }
}

std::int64_t CaptureTimeOf(const std::uint8_t* frame) {
    std::uint64_t stamp = 0;
    for (int i = 0; i < kStampBytes; ++i) {
        stamp |= static_cast<std::uint64_t>(frame[2 * i + 1]) << (8 * i);
    }
    return static_cast<std::int64_t>(stamp);
}

}  // namespace telosim
