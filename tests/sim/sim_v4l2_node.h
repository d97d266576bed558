// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SIM_SIM_V4L2_NODE_H
#define OSTRELSCAN_TESTS_SIM_SIM_V4L2_NODE_H

#include <poll.h>

#include <chrono>
#include <memory>
#include <string>

namespace telosim {

/// One open /dev/videoN of the simulation, answering as uvcvideo does: V4L2 capture into mmap
/// buffers, UVC extension-unit queries to the firmware, one streaming user per device (EBUSY for
/// the others), loss for good once its plug is gone, and the faults that its device's settings
/// ask for. Every method is safe to call from any thread.
class SimNode {
public:
    using Clock = std::chrono::steady_clock;

    /// Opens `node` ("video0") below `root`; null with errno set when it can't be opened.
    static std::unique_ptr<SimNode> open(const std::string& root, const std::string& node,
                                         int flags);
    virtual ~SimNode() = default;

    /// The descriptor handed to the client: a memory file that its buffers are mapped from.
    virtual int fd() const = 0;
    /// One ioctl: 0, or -1 with errno set.
    virtual int ioctl(unsigned long request, void* argument) = 0;
    /// The poll events now; `nextFrame` gets the time the next frame is due while frames flow.
    virtual short poll(Clock::time_point& nextFrame) = 0;
};

}  // namespace telosim

#endif
