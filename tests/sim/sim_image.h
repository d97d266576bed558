// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SIM_SIM_IMAGE_H
#define OSTRELSCAN_TESTS_SIM_SIM_IMAGE_H

#include <string>

#include "sim_tree.h"

namespace telosim {

/// Shows an image file (PNG, JPEG, PGM, ...) on device `id`: as a 640x480 YUYV frame, scaled
/// down to fit when larger and centred on white. False with `error` set when it can't be read.
bool ShowImage(const SimTree& tree, const std::string& id, const std::string& imagePath,
               std::string& error);

/// Shows a plain white frame on device `id`.
void ShowBlank(const SimTree& tree, const std::string& id);

}  // namespace telosim

#endif
