#include "src/Log.h"

#include <cstdarg>
#include <cstdio>

namespace kb::filterd {

void Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "kbfilterd: %s\n", line);
    std::fflush(stderr);
}

}  // namespace kb::filterd
