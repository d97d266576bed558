// SPDX-License-Identifier: MIT
// telo-sim: plugs, unplugs and drives simulated scanners, and runs programs against them.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sim_image.h"
#include "sim_tree.h"

namespace {

const char* const kUsage = R"(usage: telo-sim [--root DIR] COMMAND ...
  run [--image FILE] -- PROGRAM [ARG...]
                             run PROGRAM with a simulated device "scanner" attached
  plug ID KIND [KEY=VALUE...] plug a device (KIND: scanner, webcam, half, platform)
  unplug ID | replug ID       take a device away or bring it back
  show ID IMAGE | blank ID    show an image file or a white frame
  set ID KEY=VALUE...         change device settings at once, like plugging: fps,
                              first_frame_ms, frames=on|off, bytesused, error_every,
                              ready_reads, ready=ok|never, handshake=ok|sticky|lost, and
                              faults open, g_fmt, s_fmt, reqbufs, qbuf, dqbuf, streamon,
                              streamoff = ok|once:ERRNO|always:ERRNO; xu before plugging
  led ID                      print the LED/beeper writes
  clear                       remove every device
The root defaults to $TELO_SIM_ROOT.
)";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

bool ParseSettings(const std::vector<std::string>& args, std::size_t from, telosim::Settings& out) {
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::size_t equals = args[i].find('=');
        if (equals == std::string::npos || equals == 0) {
            std::cerr << "telo-sim: expected KEY=VALUE, got " << args[i] << "\n";
            return false;
        }
        out[args[i].substr(0, equals)] = args[i].substr(equals + 1);
    }
    return true;
}

std::string ExecutableDir() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

int Run(const std::string& rootArgument, const std::vector<std::string>& args) {
    std::string image;
    std::size_t i = 1;
    if (args.size() > 3 && args[1] == "--image") {
        image = args[2];
        i = 3;
    }
    if (args.size() < i + 2 || args[i] != "--") {
        return Usage();
    }
    std::string root = rootArgument;
    if (root.empty()) {
        char pattern[] = "/tmp/telo-sim-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::cerr << "telo-sim: cannot create a simulation root\n";
            return 1;
        }
        root = pattern;
    }
    telosim::SimTree tree(root);
    if (tree.captureNode("scanner").empty()) {
        tree.plug("scanner", telosim::DeviceKind::Scanner);
    }
    std::string error;
    if (!image.empty() && !telosim::ShowImage(tree, "scanner", image, error)) {
        std::cerr << "telo-sim: " << error << "\n";
        return 1;
    }
    std::cerr << "telo-sim: root " << root << "\n";
    ::setenv("TELO_SIM_ROOT", root.c_str(), 1);
    std::string preload = ExecutableDir() + "/libtelosim.so";
    if (const char* existing = std::getenv("LD_PRELOAD")) {
        preload += std::string(":") + existing;
    }
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    std::vector<char*> argv;
    for (std::size_t j = i + 1; j < args.size(); ++j) {
        argv.push_back(const_cast<char*>(args[j].c_str()));
    }
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    std::cerr << "telo-sim: cannot run " << argv[0] << "\n";
    return 127;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string root;
    if (args.size() >= 2 && args[0] == "--root") {
        root = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return Usage();
    }
    const std::string& command = args[0];
    if (command == "run") {
        return Run(root, args);
    }
    if (root.empty()) {
        const char* fromEnvironment = std::getenv("TELO_SIM_ROOT");
        if (fromEnvironment == nullptr || *fromEnvironment == '\0') {
            std::cerr << "telo-sim: no root: give --root DIR or set TELO_SIM_ROOT\n";
            return 2;
        }
        root = fromEnvironment;
    }
    try {
        telosim::SimTree tree(root);
        if (command == "plug" && args.size() >= 3) {
            bool ok = false;
            const telosim::DeviceKind kind = telosim::ParseKind(args[2], ok);
            telosim::Settings settings;
            if (!ok || !ParseSettings(args, 3, settings)) {
                return Usage();
            }
            std::cout << tree.plug(args[1], kind, settings) << "\n";
        } else if (command == "unplug" && args.size() == 2) {
            tree.unplug(args[1]);
        } else if (command == "replug" && args.size() == 2) {
            std::cout << tree.replug(args[1]) << "\n";
        } else if (command == "show" && args.size() == 3) {
            std::string error;
            if (!telosim::ShowImage(tree, args[1], args[2], error)) {
                std::cerr << "telo-sim: " << error << "\n";
                return 1;
            }
        } else if (command == "blank" && args.size() == 2) {
            telosim::ShowBlank(tree, args[1]);
        } else if (command == "set" && args.size() >= 3) {
            telosim::Settings settings;
            if (!ParseSettings(args, 2, settings)) {
                return Usage();
            }
            for (const auto& [key, value] : settings) {
                tree.set(args[1], key, value);
            }
        } else if (command == "led" && args.size() == 2) {
            for (const std::string& line : tree.ledLog(args[1])) {
                std::cout << line << "\n";
            }
        } else if (command == "clear" && args.size() == 1) {
            tree.clear();
        } else {
            return Usage();
        }
    } catch (const std::exception& failure) {
        std::cerr << "telo-sim: " << failure.what() << "\n";
        return 1;
    }
    return 0;
}
