#pragma once

#include <functional>

namespace orvane::sim::python {

// Runs `work` on a new thread while the calling Python thread waits for it
// without the interpreter lock, as kit code on a device thread would be
// waited for; an exception thrown by `work` reaches the caller. `work` may
// call into Python. The interpreter's exit waits for the calls in flight
// (see CallInFlight); after that, a call from the exiting thread or from
// inside another call raises RuntimeError.
void call_on_new_thread(const std::function<void()>& work);

}  // namespace orvane::sim::python
