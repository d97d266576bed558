// SPDX-License-Identifier: MIT
#include "process_usage.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The number after "Key:" in /proc/PID/status, or -1.
int64_t statusField(const std::string& status, const std::string& key) {
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            return std::stoll(line.substr(key.size() + 1));
        }
    }
    return -1;
}

// utime + stime: fields 14 and 15 of /proc/PID/stat, counted after the parenthesised
// command name, which may itself hold spaces.
int64_t cpuTicksOf(const std::string& stat) {
    const size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    int64_t utime = 0;
    int64_t stime = 0;
    // After the name come field 3 (state) onwards; utime is field 14.
    for (int number = 3; number <= 13; ++number) {
        fields >> field;
    }
    fields >> utime >> stime;
    return fields ? utime + stime : -1;
}

std::string readAll(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

ProcessUsage usageOf(int64_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid);
    ProcessUsage usage;
    const std::string files = openFilesOf(pid);
    usage.openFiles = static_cast<int>(std::count(files.begin(), files.end(), '\n'));
    const std::string status = readAll(folder + "/status");
    usage.threads = static_cast<int>(statusField(status, "Threads"));
    usage.residentKb = statusField(status, "VmRSS");
    usage.peakResidentKb = statusField(status, "VmHWM");
    usage.cpuTicks = cpuTicksOf(readAll(folder + "/stat"));
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

int64_t ticksPerSecond() {
    return sysconf(_SC_CLK_TCK);
}
