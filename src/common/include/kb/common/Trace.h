// Diagnostic trace lines on standard output: printf formats, no log file, no levels.
#pragma once

namespace kb {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Trace(const char* format, ...);

}  // namespace kb
