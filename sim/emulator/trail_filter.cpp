#include "trail_filter.h"

namespace orvane::sim {

TrailFilter::TrailFilter(int width, int height) : pixels_(width, height) {}

}  // namespace orvane::sim
