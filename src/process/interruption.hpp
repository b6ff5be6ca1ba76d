// How a run stopped by a signal ends: the files it was still writing are
// removed, so that the earlier files they were to replace stay as they were,
// and the process ends with the conventional status 128 + the signal number.
#pragma once

#include <signal.h>

namespace unionbound {

// Makes SIGINT, SIGTERM and SIGHUP remove every registered file and end the
// process with status 128 + the signal number. A signal that was ignored when
// the program started (as under nohup) stays ignored. Call once, early in main.
void installInterruptionHandlers();

// While a stage runs that can end early with what it has, the first of these
// signals only asks it to: the handler keeps the signal's number and
// returns, and the program ends the stage, shows what it has and then ends
// as the signal would have ended it. A second signal meanwhile ends the
// process at once, as any signal does outside such a stage. Only the thread
// that runs the stage calls these; the handler may run in any thread.
//
// Starts such a stage.
void deferInterruptions();
// True once a signal has arrived since deferInterruptions() (and before
// endDeferredInterruptions()).
bool interruptionArrived();
// Ends the stage: returns the number of the signal that arrived during it,
// or 0; from now on every signal ends the process again.
int endDeferredInterruptions();

// Holds back SIGINT, SIGTERM and SIGHUP while it lives; a signal that arrives
// meanwhile is handled when it ends. Used around the creation of a file and
// its registration, so that no signal can leave the file behind unregistered.
class HeldSignals {
  public:
    HeldSignals();
    ~HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t earlier_;
};

// The registry of files that an interruption removes. `path` is copied; a
// path longer than the registry's slots, or more files than its slots, are
// refused (false), and the caller must not create the file then. Not for use
// inside a signal handler.
bool registerFileToRemove(const char* path);
// Takes `path` out of the registry (it has been renamed or removed).
void forgetFileToRemove(const char* path);

// The largest number of files the registry holds at once, and the longest
// path it holds (in bytes, without the terminating NUL).
inline constexpr int kMostFilesToRemove = 8;
inline constexpr int kLongestPathToRemove = 4095;

}  // namespace unionbound
