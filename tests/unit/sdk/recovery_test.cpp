// SPDX-License-Identifier: MIT
// Recovery from what a real scanner, its driver and the system do, met in the passes of the
// application's loop through the exported functions: every fault is followed by a code decoded
// again within a few passes, and none ends in an exception or a hang.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "scanner_fixture.h"

namespace {

// The Nth thread creation from now fails with EAGAIN, as under a process limit (0: none).
std::atomic<int> threadCreationsUntilFailure{0};
// The Nth allocation from now on this thread fails, as when memory runs out (0: none).
thread_local int allocationsUntilFailure = 0;

bool AllocationFails() {
    return !telosim_in_kernel() && allocationsUntilFailure > 0 && --allocationsUntilFailure == 0;
}

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
    if (threadCreationsUntilFailure > 0 && --threadCreationsUntilFailure == 0) {
        return EAGAIN;
    }
    return real(thread, attributes, start, argument);
}

// The standard library's other forms come down to these; a sanitizer's come in pairs of their own.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocationFails() ? nullptr : std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size) {
    void* memory = operator new(size, std::nothrow);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
namespace {

using ::testing::HasSubstr;

const std::string kHello = "HELLO-TELO-42";
const std::string kSecond = "SECOND-CODE";

struct Fault {
    const char* name;
    bool whileStreaming;         // met once codes come, else from the start
    telosim::Settings settings;  // device settings that start it
    std::function<void()> act;   // or what starts it
    int lastingPasses;           // passes before the fault is over; 0: it ends by itself
    int recoveryPasses;          // the most passes, once it is over, until a code comes again
    const char* says;            // what the library prints meanwhile
};

// Another user of the device: it set the format, so it holds the right to stream.
int HoldStream(const std::string& node) {
    const int fd = ::open(("/dev/" + node).c_str(), O_RDWR);
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    ::ioctl(fd, VIDIOC_S_FMT, &format);
    return fd;
}

TEST_F(ScannerTest, RecoversFromEachFaultWithinAFewPasses) {
    int holder = -1;
    // clang-format off
    const std::vector<Fault> faults = {
        {"STREAMON fails once", false, {{"streamon", "once:ENOSPC"}}, {}, 0, 3,
         "VIDIOC_STREAMON: No space left on device"},
        {"STREAMON fails until bandwidth is free", false, {{"streamon", "always:ENOSPC"}}, {}, 3, 2,
         "VIDIOC_STREAMON: No space left on device"},
        {"REQBUFS fails once", false, {{"reqbufs", "once:ENOMEM"}}, {}, 0, 3,
         "VIDIOC_REQBUFS: Cannot allocate memory"},
        {"QBUF fails once at the start", false, {{"qbuf", "once:EIO"}}, {}, 0, 3, "VIDIOC_QBUF"},
        // The frame thread meets these two, and says so at a moment of its own.
        {"QBUF fails once while streaming", true, {{"qbuf", "once:EIO"}}, {}, 0, 4, ""},
        {"DQBUF fails once", true, {{"dqbuf", "once:EIO"}}, {}, 0, 4, ""},
        {"STREAMOFF fails once in a restart", true,
         {{"streamoff", "once:EIO"}, {"dqbuf", "once:EIO"}}, {}, 0, 5, "VIDIOC_STREAMOFF"},
        {"every second buffer flagged as an error", true, {{"error_every", "2"}}, {}, 0, 4, ""},
        {"the format refused once", false, {{"s_fmt", "once:EINVAL"}}, {}, 0, 3,
         "CCameraDS::OpenCamera:196\n"},
        {"gone and back between two polls", true, {},
         [this] { tree.unplug("scanner"); tree.replug("scanner"); }, 0, 5, "close camera\n"},
        {"lost during the handshake", false, {{"handshake", "lost"}}, {}, 2, 2,
         "scanner handshake failed: No such device\n"},
        {"never ready", false, {{"ready", "never"}}, {}, 1, 2,
         "scanner handshake failed: Connection timed out\n"},
        {"reopened while the firmware keeps reading 0x16", true, {{"handshake", "sticky"}},
         [this] { telo_scanner_destroy(scanner); scanner = nullptr; }, 0, 3,
         "open capture success\n"},
        {"no permission to open the device", false, {{"open", "always:EACCES"}}, {}, 2, 3, ""},
        {"another process streams", false, {}, [&] { holder = HoldStream("video0"); }, 2, 3,
         "VIDIOC_S_FMT: Device or resource busy\n"},
        {"the control thread can't be created", false, {}, [] { threadCreationsUntilFailure = 1; },
         0, 3, "cannot start the control thread: Resource temporarily unavailable\n"},
        {"the frame thread can't be created", false, {}, [] { threadCreationsUntilFailure = 2; },
         0, 3, "cannot start the frame thread: Resource temporarily unavailable\n"},
    };
    // clang-format on
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        telo_scanner_destroy(scanner);
        scanner = nullptr;
        tree.clear();
        plugScanner();
        show("scanner", "qr_hello.png");
        if (fault.whileStreaming) {
            ASSERT_LE(passesUntil(kHello, 5), 5);
        }
        output.clear();
        for (const auto& [key, value] : fault.settings) {
            tree.set("scanner", key, value);
        }
        if (fault.act) {
            fault.act();
        }
        // A fault met while streaming strikes before the new code is shown, so that only frames
        // taken after it can show the code.
        const auto struck = [&] {
            const telosim::Settings now = tree.settings("scanner");
            return std::all_of(fault.settings.begin(), fault.settings.end(), [&](const auto& set) {
                return set.second.rfind("once:", 0) != 0 || now.at(set.first) == "ok";
            });
        };
        for (int i = 0; fault.whileStreaming && i < 5 && !struck(); ++i) {
            pass();
        }
        show("scanner", "qr_second.png");
        for (int i = 0; i < fault.lastingPasses; ++i) {
            EXPECT_EQ(pass(), "");
        }
        if (fault.lastingPasses > 0) {
            for (const auto& [key, value] : fault.settings) {
                tree.set("scanner", key, "ok");
            }
            tree.replug("scanner");
            ::close(holder);
        }
        EXPECT_LE(passesUntil(kSecond, fault.recoveryPasses), fault.recoveryPasses) << output;
        EXPECT_THAT(output, HasSubstr(fault.says));
    }
}

TEST_F(ScannerTest, MemoryRunningOutAnywhereInAPollGivesFalseWithAReasonAndTheNextPollConnects) {
    plugScanner();
    for (int failing = 1;; failing += 1) {
        SCOPED_TRACE(failing);
        scanner = createQuietly();
        ASSERT_NE(scanner, nullptr);
        testing::internal::CaptureStdout();
        allocationsUntilFailure = failing;
        const bool connected = telo_scanner_is_connect(scanner);
        const bool failed = allocationsUntilFailure == 0;
        allocationsUntilFailure = 0;
        const std::string printed = testing::internal::GetCapturedStdout();
        if (!failed) {
            EXPECT_TRUE(connected);
            break;
        }
        EXPECT_FALSE(connected);
        EXPECT_THAT(printed, HasSubstr("PollConnection failed: std::bad_alloc\n"));
        EXPECT_TRUE(pollQuietly()) << "the next poll connects";
        telo_scanner_destroy(scanner);
        scanner = nullptr;
    }
}

}  // namespace
