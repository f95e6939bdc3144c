// Log lines on stderr, one per call, for the journal.
#pragma once

namespace kb::filterd {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Log(const char* format, ...);

}  // namespace kb::filterd
