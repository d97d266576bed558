#include "fake_telo.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "telo.h"
#include "timeline.h"

struct Scanner {
    int inside = 0;  // telo_scanner_is_connect or telo_scanner_decode calls in progress
};

namespace {

struct World {
    std::mutex mutex;
    bool createWorks = true;
    bool plugged = false;
    std::optional<std::string> code;
    int callDurationMs = 0;
    int creates = 0;
    int destroys = 0;
    int decodes = 0;
    std::set<Scanner*> handles;
    std::set<Symbol*> symbols;
    std::vector<std::string> controlCalls;
    std::vector<std::string> faults;
};

World& world() {
    static World w;
    return w;
}

bool knownLocked(World& w, Scanner* scanner, const char* function) {
    if (w.handles.count(scanner) == 0) {
        w.faults.push_back(std::string(function) + " on an unknown handle");
        return false;
    }
    return true;
}

// Marks a call that must not overlap another telo_scanner_is_connect or decode on scanner.
class ExclusiveCall {
public:
    ExclusiveCall(Scanner* scanner, const char* function) : scanner_(scanner) {
        World& w = world();
        std::lock_guard<std::mutex> lock(w.mutex);
        known_ = knownLocked(w, scanner, function);
        if (known_ && scanner->inside++ > 0) {
            w.faults.push_back(std::string(function) + " overlapped another call");
        }
        duration_ = std::chrono::milliseconds(w.callDurationMs);
    }
    ~ExclusiveCall() {
        World& w = world();
        std::lock_guard<std::mutex> lock(w.mutex);
        if (known_) {
            --scanner_->inside;
        }
    }
    void work() const { std::this_thread::sleep_for(duration_); }
    bool known() const { return known_; }

private:
    Scanner* scanner_;
    bool known_ = false;
    std::chrono::milliseconds duration_{0};
};

}  // namespace

namespace fake_telo {

void reset() {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.createWorks = true;
    w.plugged = false;
    w.code.reset();
    w.callDurationMs = 0;
    w.creates = w.destroys = w.decodes = 0;
    w.controlCalls.clear();
    w.faults.clear();
}

void setCreateWorks(bool works) {
    std::lock_guard<std::mutex> lock(world().mutex);
    world().createWorks = works;
}

void setPlugged(bool plugged) {
    std::lock_guard<std::mutex> lock(world().mutex);
    world().plugged = plugged;
}

void showCode(std::optional<std::string> bytes) {
    std::lock_guard<std::mutex> lock(world().mutex);
    world().code = std::move(bytes);
}

void setCallDurationMs(int ms) {
    std::lock_guard<std::mutex> lock(world().mutex);
    world().callDurationMs = ms;
}

int creates() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return world().creates;
}

int destroys() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return world().destroys;
}

int decodes() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return world().decodes;
}

int liveHandles() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return static_cast<int>(world().handles.size());
}

int liveSymbols() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return static_cast<int>(world().symbols.size());
}

std::vector<std::string> controlCalls() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return world().controlCalls;
}

void clearControlCalls() {
    std::lock_guard<std::mutex> lock(world().mutex);
    world().controlCalls.clear();
}

std::vector<std::string> faults() {
    std::lock_guard<std::mutex> lock(world().mutex);
    return world().faults;
}

}  // namespace fake_telo

extern "C" {

Scanner* telo_scanner_create(void) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    ++w.creates;
    if (!w.createWorks) {
        return nullptr;
    }
    auto* scanner = new Scanner;
    w.handles.insert(scanner);
    return scanner;
}

void telo_scanner_destroy(Scanner* scanner) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (scanner == nullptr) {
        return;
    }
    if (!knownLocked(w, scanner, "telo_scanner_destroy")) {
        return;
    }
    if (scanner->inside > 0) {
        w.faults.push_back("telo_scanner_destroy during another call");
    }
    ++w.destroys;
    w.handles.erase(scanner);
    delete scanner;
}

bool telo_scanner_is_connect(Scanner* scanner) {
    ExclusiveCall call(scanner, "telo_scanner_is_connect");
    call.work();
    std::lock_guard<std::mutex> lock(world().mutex);
    return call.known() && world().plugged;
}

Symbol* telo_scanner_decode(Scanner* scanner) {
    ExclusiveCall call(scanner, "telo_scanner_decode");
    call.work();
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    ++w.decodes;
    if (!call.known() || !w.plugged || !w.code) {
        return nullptr;
    }
    auto* symbol = new Symbol;
    symbol->type = 1;
    symbol->length = static_cast<int32_t>(w.code->size());
    symbol->text = new char[w.code->size() + 1];
    std::memcpy(symbol->text, w.code->data(), w.code->size());
    symbol->text[w.code->size()] = '\0';
    w.symbols.insert(symbol);
    return symbol;
}

bool telo_scanner_add_type(Scanner* scanner, int32_t index, bool enable) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (!knownLocked(w, scanner, "telo_scanner_add_type")) {
        return false;
    }
    w.controlCalls.push_back("add_type " + std::to_string(index) + (enable ? " 1" : " 0"));
    return true;
}

bool telo_scanner_beep(Scanner* scanner, int32_t milliseconds) {
    {
        std::lock_guard<std::mutex> lock(world().mutex);
        if (!knownLocked(world(), scanner, "telo_scanner_beep")) {
            return false;
        }
    }
    Timeline::instance().add("beep " + std::to_string(milliseconds));
    return true;
}

bool telo_scanner_led(Scanner* scanner, bool on) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (!knownLocked(w, scanner, "telo_scanner_led")) {
        return false;
    }
    w.controlCalls.push_back(on ? "led 1" : "led 0");
    return true;
}

void telo_symbol_destroy(Symbol* symbol) {
    World& w = world();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (symbol == nullptr) {
        return;
    }
    if (w.symbols.erase(symbol) == 0) {
        w.faults.push_back("telo_symbol_destroy on an unknown result");
        return;
    }
    delete[] symbol->text;
    delete symbol;
}

}  // extern "C"
