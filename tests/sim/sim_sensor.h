// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SIM_SIM_SENSOR_H
#define OSTRELSCAN_TESTS_SIM_SIM_SENSOR_H

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace telosim {

/// The size of the picture in front of the simulated camera.
constexpr std::uint32_t kPictureWidth = 640;
constexpr std::uint32_t kPictureHeight = 480;

/// What the simulated camera sees: the picture on show (the device's frame.yuyv, else white).
/// A frame shows what was in front of the camera when it was captured, not when it is read. Its
/// pictures are allocated once, by the thread that opens the device, so that capturing allocates
/// nothing on the client's threads.
class SimSensor {
public:
    explicit SimSensor(std::string stateDir);

    /// Writes the frame captured at `captured` as width x height YUYV into `out`, and stamps it
    /// with its capture time (see CaptureTimeOf).
    void capture(std::chrono::steady_clock::time_point captured, std::uint8_t* out,
                 std::uint32_t width, std::uint32_t height);

private:
    void refresh();

    std::string stateDir_;
    std::vector<std::uint8_t> picture_;
    std::vector<std::uint8_t> previousPicture_;
    std::vector<std::uint8_t> incoming_;
    std::chrono::steady_clock::time_point pictureSince_;
    struct stat pictureFile_ {};
};

/// The capture time, in nanoseconds of CLOCK_MONOTONIC (steady_clock), that the simulated camera
/// stamped into the first chroma bytes of a frame.
std::int64_t CaptureTimeOf(const std::uint8_t* frame);

}  // namespace telosim

#endif
