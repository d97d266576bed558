// SPDX-License-Identifier: MIT
#include "process_usage.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

int64_t statusFieldOf(int64_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            return std::stoll(line.substr(key.size() + 1));
        }
    }
    return -1;
}

ProcessUsage usageOf(int64_t pid) {
    ProcessUsage usage;
    const std::string files = openFilesOf(pid);
    usage.openFiles = static_cast<int>(std::count(files.begin(), files.end(), '\n'));
    usage.threads = static_cast<int>(statusFieldOf(pid, "Threads"));
    usage.residentKb = statusFieldOf(pid, "VmRSS");
    return usage;
}

std::string openFilesOf(int64_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::string listing;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        char target[512] = {};
        const std::string link = folder + "/" + entry->d_name;
        readlink(link.c_str(), target, sizeof target - 1);
        listing += std::string(entry->d_name) + " -> " + target + "\n";
    }
    closedir(dir);
    return listing;
}
