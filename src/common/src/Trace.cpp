#include "kb/common/Trace.h"

#include <cstdarg>
#include <mutex>
#include <string>
#include <utility>

namespace kb {
namespace {

// Lines from the monitor and task threads must not interleave with the UI thread's.
std::mutex& TraceLock() {
    static std::mutex lock;
    return lock;
}

TraceSink& CurrentSink() {
    static TraceSink sink;
    return sink;
}

std::string Format(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    char small[256];
    const int length = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (length > 0 && static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

}  // namespace

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);

    const std::lock_guard guard(TraceLock());
    if (const TraceSink& sink = CurrentSink()) {
        sink(text);
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
}

TraceSink SetTraceSink(TraceSink sink) {
    const std::lock_guard guard(TraceLock());
    return std::exchange(CurrentSink(), std::move(sink));
}

TraceSink StreamTraceSink(std::FILE* stream) {
    return [stream](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    };
}

}  // namespace kb
