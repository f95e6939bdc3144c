// Emits through one uinput keyboard that can send every key of the key map and the usual keyboard
// keys; passes lock-key light changes back to the physical keyboard.
#pragma once

#include <string>

#include "src/Io.h"

struct libevdev;
struct libevdev_uinput;

namespace kb::filterd {

inline constexpr const char* kVirtualKeyboardName = "kbfilterd virtual keyboard";

class UinputOutput : public IOutput {
  public:
    UinputOutput() = default;
    ~UinputOutput() override;
    UinputOutput(const UinputOutput&) = delete;
    UinputOutput& operator=(const UinputOutput&) = delete;

    bool Open(std::string& error);

    void Emit(uint16_t key, bool down) override;
    int LedFd() const override;
    void ServiceLeds(IInput& input) override;

  private:
    libevdev* dev_ = nullptr;
    libevdev_uinput* uinput_ = nullptr;
};

}  // namespace kb::filterd
