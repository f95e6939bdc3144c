// Prints what the daemon would emit, one line per event on standard output ("down KEY_B", "up KEY_B",
// "mark <text>"), instead of writing to uinput.
#pragma once

#include "src/Io.h"

namespace kb::filterd {

class PrintOutput : public IOutput {
  public:
    void Emit(uint16_t key, bool down) override;
    void Mark(std::string_view text) override;
};

}  // namespace kb::filterd
