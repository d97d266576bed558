#pragma once

struct Scanner;

namespace telo {

/// Position of the first video-input device whose path holds both substrings, or -1. Prints
/// each path it examines. Records the matched device in the handle.
int DiscoverScanner(Scanner& scanner, const char* part1, const char* part2);

/// Keeps the camera attached to the scanner as devices come and go: 0 when the scanner is
/// present and its camera open, -1 otherwise. Not for concurrent use.
int PollConnection(Scanner& scanner);

/// Forgets the process-wide connection state when a handle that may hold the camera goes away.
void ForgetConnection();

}  // namespace telo
