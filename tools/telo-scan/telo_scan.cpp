// SPDX-License-Identifier: MIT
// telo-scan: waits for the scanner and prints the codes it decodes with a time stamp, through the
// public interface only. The library's own diagnostic lines are kept off standard output
// (shown on standard error with --verbose).
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "command_line.h"
#include "escape_bytes.h"
#include "in_view_filter.h"
#include "standard_output.h"
#include "telo.h"

namespace {

constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr auto kLedOffPause = std::chrono::milliseconds(200);
constexpr long kLongestBeepMs = 10000;

constexpr char kProgram[] = "telo-scan";
constexpr char kUsage[] =
    "Usage: telo-scan [OPTION]...\n"
    "Waits for the scanner and prints each code that comes into view, once while it stays in\n"
    "view, as one tab-separated line: TIME TYPE LENGTH DATA, with DATA escaped as\n"
    "telo-decode does. Ctrl-C ends it and switches the LED off.\n"
    "\n"
    "  --all          print every decode, ten a second while a code stays in view\n"
    "  --led on|off   switch the LED on or off whenever the scanner connects\n"
    "  --beep MS      beep for MS milliseconds (1-10000) whenever the scanner connects\n"
    "  --verbose      show the library's own lines on standard error\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Exit status: 0 ended by Ctrl-C or a termination signal, 2 a wrong command line.\n";

struct Options {
    int led = -1;
    int beepMs = 0;
    bool all = false;
    bool verbose = false;
};

std::atomic<bool> interrupted{false};

void onSignal(int) {
    interrupted = true;
}

std::string timeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    char full[80];
    std::snprintf(full, sizeof full, "%s.%03lld", text, static_cast<long long>(millis));
    return full;
}

/// Fills `options` from the command line; an error text, or empty on success.
std::string parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--led" || argument == "--beep") && i + 1 >= argc) {
            return argument + " needs a value";
        }
        if (argument == "--led") {
            const std::string value = argv[++i];
            if (value != "on" && value != "off") {
                return "--led takes on or off, not '" + value + "'";
            }
            options.led = value == "on" ? 1 : 0;
        } else if (argument == "--beep") {
            const std::string value = argv[++i];
            const auto ms = telo::tools::parseNumber(value, 1, kLongestBeepMs);
            if (!ms) {
                return "--beep takes milliseconds from 1 to 10000, not '" + value + "'";
            }
            options.beepMs = static_cast<int>(*ms);
        } else if (argument == "--all") {
            options.all = true;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            return "unknown argument '" + argument + "'";
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (telo::tools::answerHelpOrVersion(argc, argv, kProgram, kUsage)) {
        return 0;
    }
    Options options;
    if (std::string problem = parseArguments(argc, argv, options); !problem.empty()) {
        return telo::tools::usageError(kProgram, problem);
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    FILE* out = telo::tools::separateLibraryLines(options.verbose
                                                      ? telo::tools::LibraryLines::kToStandardError
                                                      : telo::tools::LibraryLines::kDiscarded);

    std::fprintf(stderr, "telo-scan: waiting for the scanner (Ctrl-C to stop)\n");
    Scanner* scanner = nullptr;
    while (!interrupted && scanner == nullptr) {
        scanner = telo_scanner_create();
        if (scanner == nullptr) {
            std::this_thread::sleep_for(kPollPause);
        }
    }
    bool connected = false;
    telo::tools::InViewFilter inView;
    while (!interrupted) {
        const bool now = telo_scanner_is_connect(scanner);
        if (now != connected) {
            connected = now;
            std::fprintf(stderr, "telo-scan: %s\n", connected ? "connected" : "disconnected");
            if (connected && options.led >= 0) {
                telo_scanner_led(scanner, options.led == 1);
            }
            if (connected && options.beepMs > 0) {
                telo_scanner_beep(scanner, options.beepMs);
            }
        }
        if (connected) {
            if (Symbol* symbol = telo_scanner_decode(scanner)) {
                const std::string bytes(symbol->text, static_cast<std::size_t>(symbol->length));
                const std::string code = std::to_string(symbol->type) + "\t" + bytes;
                if (inView.admit(code, telo::tools::InViewFilter::Clock::now()) || options.all) {
                    std::fprintf(out, "%s\t%d\t%d\t%s\n", timeStamp().c_str(), symbol->type,
                                 symbol->length, telo::tools::escapeBytes(bytes).c_str());
                    std::fflush(out);
                }
                telo_symbol_destroy(symbol);
            }
        }
        std::this_thread::sleep_for(kPollPause);
    }
    if (scanner != nullptr) {
        telo_scanner_led(scanner, false);
        std::this_thread::sleep_for(kLedOffPause);
        telo_scanner_destroy(scanner);
    }
    return 0;
}
