// SPDX-License-Identifier: MIT
#include "fake_telo.h"

#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "telo.h"
#include "timeline.h"

struct Scanner {
    std::thread::id owner = std::this_thread::get_id();
};

namespace {

struct World {
    std::mutex mutex;
    bool createWorks = true;
    bool plugged = false;
    std::optional<std::string> code;
    int32_t symbology = 1;
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

// Runs f(world) under the lock.
template <typename F>
auto locked(F f) {
    std::lock_guard<std::mutex> lock(world().mutex);
    return f(world());
}

// Whether scanner is a live handle, recording a fault when it is not, or when a call that
// belongs to the worker comes from another thread.
bool known(World& w, Scanner* scanner, const char* function, bool workerOnly = false) {
    if (w.handles.count(scanner) == 0) {
        w.faults.push_back(std::string(function) + " on an unknown handle");
        return false;
    }
    if (workerOnly && scanner->owner != std::this_thread::get_id()) {
        w.faults.push_back(std::string(function) + " from another thread than the worker");
    }
    return true;
}

}  // namespace

namespace fake_telo {

void reset() {
    locked([](World& w) {
        w.createWorks = true;
        w.plugged = false;
        w.code.reset();
        w.creates = w.destroys = w.decodes = 0;
        w.controlCalls.clear();
        w.faults.clear();
    });
}

void setCreateWorks(bool works) {
    locked([works](World& w) { w.createWorks = works; });
}
void setPlugged(bool plugged) {
    locked([plugged](World& w) { w.plugged = plugged; });
}
void showCode(std::optional<std::string> bytes, int32_t symbology) {
    locked([&](World& w) {
        w.code = std::move(bytes);
        w.symbology = symbology;
    });
}
int creates() {
    return locked([](World& w) { return w.creates; });
}
int destroys() {
    return locked([](World& w) { return w.destroys; });
}
int decodes() {
    return locked([](World& w) { return w.decodes; });
}
std::vector<std::string> controlCalls() {
    return locked([](World& w) { return w.controlCalls; });
}
void clearControlCalls() {
    locked([](World& w) { w.controlCalls.clear(); });
}
std::vector<std::string> faults() {
    return locked([](World& w) {
        std::vector<std::string> all = w.faults;
        if (!w.handles.empty() || !w.symbols.empty()) {
            all.push_back(std::to_string(w.handles.size()) + " handles and " +
                          std::to_string(w.symbols.size()) + " results not destroyed");
        }
        return all;
    });
}

}  // namespace fake_telo

extern "C" {

Scanner* telo_scanner_create(void) {
    return locked([](World& w) -> Scanner* {
        ++w.creates;
        return w.createWorks ? *w.handles.insert(new Scanner).first : nullptr;
    });
}

void telo_scanner_destroy(Scanner* scanner) {
    locked([scanner](World& w) {
        if (scanner != nullptr && known(w, scanner, "telo_scanner_destroy")) {
            ++w.destroys;
            w.handles.erase(scanner);
            delete scanner;
        }
    });
}

bool telo_scanner_is_connect(Scanner* scanner) {
    return locked([scanner](World& w) {
        return known(w, scanner, "telo_scanner_is_connect", true) && w.plugged;
    });
}

Symbol* telo_scanner_decode(Scanner* scanner) {
    return locked([scanner](World& w) -> Symbol* {
        ++w.decodes;
        if (!known(w, scanner, "telo_scanner_decode", true) || !w.plugged || !w.code) {
            return nullptr;
        }
        auto* symbol = new Symbol{w.symbology, new char[w.code->size() + 1],
                                  static_cast<int32_t>(w.code->size())};
        std::memcpy(symbol->text, w.code->c_str(), w.code->size() + 1);
        return *w.symbols.insert(symbol).first;
    });
}

bool telo_scanner_add_type(Scanner* scanner, int32_t index, bool enable) {
    return locked([&](World& w) {
        w.controlCalls.push_back("add_type " + std::to_string(index) + (enable ? " 1" : " 0"));
        return known(w, scanner, "telo_scanner_add_type");
    });
}

bool telo_scanner_beep(Scanner* scanner, int32_t milliseconds) {
    if (!locked([scanner](World& w) { return known(w, scanner, "telo_scanner_beep"); })) {
        return false;
    }
    Timeline::instance().add("beep " + std::to_string(milliseconds));
    return true;
}

bool telo_scanner_led(Scanner* scanner, bool on) {
    return locked([&](World& w) {
        w.controlCalls.push_back(on ? "led 1" : "led 0");
        return known(w, scanner, "telo_scanner_led");
    });
}

void telo_symbol_destroy(Symbol* symbol) {
    locked([symbol](World& w) {
        if (symbol == nullptr) {
            return;
        }
        if (w.symbols.erase(symbol) == 0) {
            w.faults.push_back("telo_symbol_destroy on an unknown result");
            return;
        }
        delete[] symbol->text;
        delete symbol;
    });
}

}  // extern "C"
