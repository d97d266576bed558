#ifndef OSTRELSCAN_TESTS_FAKE_TELO_H
#define OSTRELSCAN_TESTS_FAKE_TELO_H

#include <optional>
#include <string>
#include <vector>

/// A scripted stand-in for libtelo's eight functions, linked in its place. It models the
/// world the worker sees (whether handles can be created, whether the scanner is plugged in,
/// which code is in view), logs "beep <ms>" to the Timeline, counts calls, and records every
/// misuse: unknown or destroyed handles, leaked results, overlapping telo_scanner_is_connect
/// and telo_scanner_decode calls. Thread-safe.
namespace fake_telo {

/// Back to the start: creation works, no scanner, nothing in view, counters zero.
void reset();

void setCreateWorks(bool works);
void setPlugged(bool plugged);
/// The bytes returned by every decode while plugged in (a NUL is appended); none: null.
void showCode(std::optional<std::string> bytes);
/// Time each telo_scanner_is_connect and telo_scanner_decode call takes, in milliseconds.
void setCallDurationMs(int ms);

int creates();
int destroys();
int decodes();
int liveHandles();
int liveSymbols();
/// The symbology and LED calls in order, as "add_type <index> <0|1>" and "led <0|1>".
std::vector<std::string> controlCalls();
void clearControlCalls();

/// Every misuse seen since reset().
std::vector<std::string> faults();

}  // namespace fake_telo

#endif
