// SPDX-License-Identifier: MIT
// Runs the single-instance guard as the application's entry does and reports on standard
// output. A copy that claims prints "claimed" and keeps running until its standard input
// closes or it is killed; a refused copy prints "refused" and exits 0.
//
//   instance_probe [--gate] [--hold] LOCK_KEY MARKER_KEY
//     --gate  prints "ready" and waits for a line on standard input before taking the lock
//     --hold  prints "locked" with the lock held and waits for a line before claiming

#include <cstring>
#include <iostream>
#include <limits>
#include <string>

#include "single_instance_guard.h"

namespace {

void say(const char* line) {
    std::cout << line << std::endl;
}

void waitForLine() {
    std::string line;
    std::getline(std::cin, line);
}

}  // namespace

int main(int argc, char** argv) {
    bool gate = false;
    bool hold = false;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        if (std::strcmp(argv[first], "--gate") == 0) {
            gate = true;
        } else if (std::strcmp(argv[first], "--hold") == 0) {
            hold = true;
        } else {
            break;
        }
    }
    if (argc - first != 2) {
        std::cerr << "usage: instance_probe [--gate] [--hold] LOCK_KEY MARKER_KEY\n";
        return 2;
    }

    SingleInstanceGuard guard(QString::fromLocal8Bit(argv[first]),
                              QString::fromLocal8Bit(argv[first + 1]));
    if (gate) {
        say("ready");
        waitForLine();
    }
    guard.lock();
    if (hold) {
        say("locked");
        waitForLine();
    }
    if (!guard.claim()) {
        say("refused");
        guard.unlock();
        return 0;
    }
    guard.unlock();
    say("claimed");
    std::cin.ignore(std::numeric_limits<std::streamsize>::max());
    return 0;
}
