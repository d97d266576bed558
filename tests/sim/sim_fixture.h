// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SIM_SIM_FIXTURE_H
#define OSTRELSCAN_TESTS_SIM_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim_image.h"
#include "sim_tree.h"

/// Whether this thread is inside a call into the simulated kernel, whose memory is not the
/// process's: tests that make the process's allocations fail leave the kernel's alone.
extern "C" bool telosim_in_kernel();

namespace telosim {

/// A test fixture over the simulation root that CTest gives every simulated-device test
/// (TELO_SIM_ROOT); each test starts with no devices.
class SimTest : public ::testing::Test {
protected:
    SimTest() : tree(RootFromEnvironment()) {}
    void SetUp() override { tree.clear(); }
    void TearDown() override { tree.clear(); }

    static std::string RootFromEnvironment() {
        const char* root = std::getenv("TELO_SIM_ROOT");
        return root != nullptr ? root : "";
    }

    /// Shows a test image from tests/data.
    void show(const std::string& id, const std::string& name) {
        std::string error;
        ASSERT_TRUE(ShowImage(tree, id, std::string(TELO_TEST_DATA_DIR) + "/" + name, error))
            << error;
    }

    SimTree tree;
};

}  // namespace telosim

#endif
