#pragma once

#include <functional>

namespace orvane::sim {

// Runs `work` on a new thread while the calling Python thread waits for it
// without the interpreter lock, as kit code on a device thread would be
// waited for; an exception thrown by `work` reaches the caller. `work` may
// call into Python.
void call_on_new_thread(const std::function<void()>& work);

// Makes the interpreter's exit wait for the calls in flight. A finalizing
// interpreter ends a thread that tries to take its lock by unwinding the
// thread's stack, which aborts the process when it meets a destructor or a
// catch-all, and releases Python objects without the lock; so every call must
// be over, its caller holding the lock again, before finalizing begins. After
// that, a call from the exiting thread or from inside another call raises
// RuntimeError, and a call from any other thread, which the interpreter is
// about to end anyway, never returns.
void register_thread_call_exit_hook();

}  // namespace orvane::sim
