// Time as the daemon counts it: a reading of the monotonic clock.
#pragma once

#include <chrono>

namespace kb::filterd {

using Time = std::chrono::nanoseconds;

}  // namespace kb::filterd
