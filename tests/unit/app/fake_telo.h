// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_TESTS_FAKE_TELO_H
#define OSTRELSCAN_TESTS_FAKE_TELO_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// A scripted stand-in for libtelo's eight functions, linked in its place. It models the
/// world the worker sees (whether handles can be created, whether the scanner is plugged in,
/// which code is in view), logs "beep <ms>" to the Timeline, counts calls, and records every
/// misuse: unknown or destroyed handles, unknown results, and telo_scanner_is_connect or
/// telo_scanner_decode called from another thread than the one that created the handle
/// (the window must leave them to the worker). Thread-safe.
namespace fake_telo {

/// Back to the start: creation works, no scanner, nothing in view, counters zero.
void reset();

void setCreateWorks(bool works);
void setPlugged(bool plugged);
/// The bytes (a NUL is appended) and symbology returned by every decode while plugged in;
/// none: null.
void showCode(std::optional<std::string> bytes, int32_t symbology = 1);

int creates();
int destroys();
int decodes();
/// The symbology and LED calls in order, as "add_type <index> <0|1>" and "led <0|1>".
std::vector<std::string> controlCalls();
void clearControlCalls();

/// Every misuse seen since reset(), then the handles and results not destroyed by now.
std::vector<std::string> faults();

}  // namespace fake_telo

#endif
