// Diagnostic trace lines: printf formats, no log file, no levels. They go to standard output unless the
// program sends them elsewhere.
#pragma once

#include <cstdio>
#include <functional>
#include <string_view>

namespace kb {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Trace(const char* format, ...);

// Receives the text of each Trace call (its format decides the line breaks). Called under the trace
// lock, from whichever thread traces: it must not trace itself.
using TraceSink = std::function<void(std::string_view text)>;

// Sends every later trace to `sink`, for all threads; an empty sink means standard output again.
// Returns the sink in use before, so that a caller can put it back.
TraceSink SetTraceSink(TraceSink sink);

// A sink that writes to a C stream and flushes it after each trace.
TraceSink StreamTraceSink(std::FILE* stream);

}  // namespace kb
