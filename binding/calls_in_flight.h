#pragma once

#include <Python.h>

#include <list>

namespace orvane::python {

// Python code that C++ runs for a caller, counted from construction to
// destruction; construct and destroy it with the interpreter lock held.
//
// A finalizing interpreter ends a thread that tries to take its lock by
// unwinding the thread's stack, which aborts the process when it meets a
// destructor or a catch-all, and releases Python objects without the lock;
// so every call must be over before finalizing begins. The module's exit
// hook waits for the calls on other threads than the exiting one. Python
// code that never returns (a polling loop in a daemon thread) would hold the
// exit up for ever: after a grace period of kExitGraceSeconds, or at once on
// Ctrl-C, the hook raises SystemExit in the threads that run calls, again
// every second until they are over. Once the wait is over, a call from a
// thread other than the exiting one, outside any call, never returns: the
// thread gives the lock up for good, as the interpreter is about to end it.
class CallInFlight {
public:
    CallInFlight();
    ~CallInFlight();
    CallInFlight(const CallInFlight&) = delete;
    CallInFlight& operator=(const CallInFlight&) = delete;

    // The call's Python code runs on the calling thread from now on, which
    // need not hold the interpreter lock.
    void runs_on_this_thread();

private:
    std::list<unsigned long>::iterator entry_;
};

// The interpreter lock given up for C++ work, as pybind11's
// gil_scoped_release gives it up, and taken back at the end of the scope;
// but once the module's exit hook is over, a thread other than the exiting
// one never takes it back and never returns (see CallInFlight): a read on a
// daemon thread cannot end the process by taking the lock of a finalizing
// interpreter. The hook waits for the threads that are taking it back.
class LockReleased {
public:
    LockReleased();
    ~LockReleased();
    LockReleased(const LockReleased&) = delete;
    LockReleased& operator=(const LockReleased&) = delete;

private:
    PyThreadState* state_;
};

// The interpreter lock taken for Python work inside C++ work that runs
// without it (a LockReleased scope on this thread); then, once the exit hook
// is over, it never returns, as LockReleased. Elsewhere (the lock held
// already) it is PyGILState_Ensure.
class LockTaken {
public:
    LockTaken();
    ~LockTaken();
    LockTaken(const LockTaken&) = delete;
    LockTaken& operator=(const LockTaken&) = delete;

private:
    PyGILState_STATE state_;
};

constexpr int kExitGraceSeconds = 2;

// Whether the exit wait is over and this thread may still make calls: the
// exiting thread, or one that runs a call itself.
bool exit_wait_over_for_this_thread();

// Registers the exit hook, and resets the calls in flight in a child made
// by fork(), which has none of the threads that run them. Call once.
void wait_for_calls_at_exit();

}  // namespace orvane::python
