#include "kb/common/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kb {

void Trace(const char* format, ...) {
    // Lines from the monitor and task threads must not interleave with the UI thread's.
    static std::mutex lock;
    const std::lock_guard guard(lock);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

}  // namespace kb
