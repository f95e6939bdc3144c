#include "src/PrintOutput.h"

#include <cstdio>

#include "src/KeyNames.h"

namespace kb::filterd {

void PrintOutput::Emit(uint16_t key, bool down) {
    std::printf("%s %s\n", down ? "down" : "up", LinuxKeyName(key).c_str());
    std::fflush(stdout);
}

void PrintOutput::Mark(std::string_view text) {
    std::printf("mark %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

}  // namespace kb::filterd
