#pragma once

namespace orvane {

// Common base of the kit's event records; it adds no storage.
struct EventBase {};

}  // namespace orvane
