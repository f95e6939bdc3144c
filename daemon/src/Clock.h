// Where the daemon's pieces read the time from: the monotonic clock, or a clock a test sets.
#pragma once

#include <functional>

#include "engine/Time.h"

namespace kb::filterd {

using Clock = std::function<Time()>;

// The monotonic clock.
Time Now();

}  // namespace kb::filterd
