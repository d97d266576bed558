// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_SOAK_PROCESS_USAGE_H
#define OSTRELSCAN_TESTS_SOAK_PROCESS_USAGE_H

#include <cstdint>
#include <string>

/// What /proc tells about one running process at one moment.
struct ProcessUsage {
    int openFiles = -1;       ///< entries of /proc/PID/fd (0 when unreadable)
    int threads = -1;         ///< "Threads" of /proc/PID/status
    int64_t residentKb = -1;  ///< "VmRSS"
};

/// The usage of process pid; fields it could not read stay -1.
ProcessUsage usageOf(int64_t pid);

/// The number after "key:" in /proc/PID/status (kB for memory figures), or -1.
int64_t statusFieldOf(int64_t pid, const std::string& key);

/// What each open descriptor of process pid refers to, as "fd -> target".
std::string openFilesOf(int64_t pid);

#endif
