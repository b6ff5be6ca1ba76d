#include "process/interruption.hpp"

#include <unistd.h>

#include <atomic>
#include <cstring>

namespace unionbound {

namespace {

constexpr int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The registry: fixed storage, so that the handler reads it without locks or
// allocation. A slot's path is complete before its flag is set, and its flag
// is cleared before the path may change.
char pathsToRemove[kMostFilesToRemove][kLongestPathToRemove + 1];
volatile sig_atomic_t slotInUse[kMostFilesToRemove];

// The deferral, in one word that the handler and the stage's thread change
// only by atomic exchanges: kNotDeferring, or 0 while deferring and no
// signal has arrived, or the number of the signal that did.
constexpr int kNotDeferring = -1;
std::atomic<int> deferredSignal{kNotDeferring};
static_assert(std::atomic<int>::is_always_lock_free,
              "the handler may only use atomics that need no lock");

sigset_t stoppingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signalNumber : kStoppingSignals) {
        sigaddset(&set, signalNumber);
    }
    return set;
}

// Only async-signal-safe calls: a lock-free atomic, unlink and _exit.
extern "C" void removeFilesAndEnd(int signalNumber) {
    int none = 0;
    if (deferredSignal.compare_exchange_strong(none, signalNumber)) {
        return;  // the stage at work ends early and the program ends after it
    }
    for (int slot = 0; slot < kMostFilesToRemove; ++slot) {
        if (slotInUse[slot] != 0) {
            unlink(pathsToRemove[slot]);
        }
    }
    _exit(128 + signalNumber);
}

}  // namespace

void installInterruptionHandlers() {
    struct sigaction action {};
    action.sa_handler = removeFilesAndEnd;
    action.sa_mask = stoppingSignals();  // one handler at a time
    // A deferred signal returns from the handler: the calls it came upon
    // go on rather than fail (a write of the progress line, say).
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kStoppingSignals) {
        struct sigaction earlier {};
        if (sigaction(signalNumber, nullptr, &earlier) == 0 && earlier.sa_handler != SIG_IGN) {
            sigaction(signalNumber, &action, nullptr);
        }
    }
}

void deferInterruptions() {
    deferredSignal.store(0);
}

bool interruptionArrived() {
    return deferredSignal.load() > 0;
}

int endDeferredInterruptions() {
    const int arrived = deferredSignal.exchange(kNotDeferring);
    return arrived > 0 ? arrived : 0;
}

HeldSignals::HeldSignals() {
    const sigset_t held = stoppingSignals();
    sigprocmask(SIG_BLOCK, &held, &earlier_);
}

HeldSignals::~HeldSignals() {
    sigprocmask(SIG_SETMASK, &earlier_, nullptr);
}

bool registerFileToRemove(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length > static_cast<std::size_t>(kLongestPathToRemove)) {
        return false;
    }
    for (int slot = 0; slot < kMostFilesToRemove; ++slot) {
        if (slotInUse[slot] == 0) {
            std::memcpy(pathsToRemove[slot], path, length + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            slotInUse[slot] = 1;
            return true;
        }
    }
    return false;
}

void forgetFileToRemove(const char* path) {
    for (int slot = 0; slot < kMostFilesToRemove; ++slot) {
        if (slotInUse[slot] != 0 && std::strcmp(pathsToRemove[slot], path) == 0) {
            slotInUse[slot] = 0;
            std::atomic_signal_fence(std::memory_order_seq_cst);
            return;
        }
    }
}

}  // namespace unionbound
