// telo-scan: waits for the scanner and prints every decoded code with a time stamp, through the
// public interface only. The library's own diagnostic lines are kept off standard output
// (shown on standard error with --verbose).
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <thread>

#include "escape_bytes.h"
#include "telo.h"

namespace {

constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr auto kLedOffPause = std::chrono::milliseconds(200);

std::atomic<bool> interrupted{false};

void OnSignal(int) {
    interrupted = true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: telo-scan [--led on|off] [--beep MS] [--verbose]\n"
                 "Waits for the scanner and prints each decoded code as\n"
                 "  TIME<TAB>TYPE<TAB>LENGTH<TAB>BYTES (escaped)\n"
                 "until Ctrl-C, which switches the LED off.\n");
    return 2;
}

std::string TimeStamp() {
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

// Own output goes to the original standard output; fd 1 then carries the library's lines.
FILE* TakeStandardOutput(bool verbose) {
    std::fflush(stdout);
    const int own = ::dup(STDOUT_FILENO);
    const int sink = verbose ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (own < 0 || sink < 0) {
        return stdout;
    }
    ::dup2(sink, STDOUT_FILENO);
    ::close(sink);
    FILE* out = ::fdopen(own, "w");
    return out != nullptr ? out : stdout;
}

}  // namespace

int main(int argc, char** argv) {
    int led = -1;
    int beepMs = 0;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--led") == 0 && i + 1 < argc) {
            const std::string value = argv[++i];
            if (value != "on" && value != "off") {
                return Usage();
            }
            led = value == "on" ? 1 : 0;
        } else if (std::strcmp(argv[i], "--beep") == 0 && i + 1 < argc) {
            beepMs = std::atoi(argv[++i]);
            if (beepMs <= 0) {
                return Usage();
            }
        } else if (std::strcmp(argv[i], "--verbose") == 0) {
            verbose = true;
        } else {
            return Usage();
        }
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    FILE* out = TakeStandardOutput(verbose);

    std::fprintf(stderr, "telo-scan: waiting for the scanner (Ctrl-C to stop)\n");
    Scanner* scanner = nullptr;
    while (!interrupted && scanner == nullptr) {
        scanner = telo_scanner_create();
        if (scanner == nullptr) {
            std::this_thread::sleep_for(kPollPause);
        }
    }
    bool connected = false;
    while (!interrupted) {
        const bool now = telo_scanner_is_connect(scanner);
        if (now != connected) {
            connected = now;
            std::fprintf(stderr, "telo-scan: %s\n", connected ? "connected" : "disconnected");
            if (connected && led >= 0) {
                telo_scanner_led(scanner, led == 1);
            }
            if (connected && beepMs > 0) {
                telo_scanner_beep(scanner, beepMs);
            }
        }
        if (connected) {
            if (Symbol* symbol = telo_scanner_decode(scanner)) {
                const std::string_view bytes(symbol->text,
                                             static_cast<std::size_t>(symbol->length));
                std::fprintf(out, "%s\t%d\t%d\t%s\n", TimeStamp().c_str(), symbol->type,
                             symbol->length, telo::tools::EscapeBytes(bytes).c_str());
                std::fflush(out);
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
