// The daemon's two ends: where physical key events come from and where emitted key events go.
#pragma once

#include <poll.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/Engine.h"

namespace kb::filterd {

class IInputEvents {
  public:
    virtual ~IInputEvents() = default;
    virtual void OnKey(uint16_t key, bool down, Time now) = 0;
    // Every device of the keyboard is gone: nothing is held any more.
    virtual void OnKeyboardGone(Time now) = 0;
    // A scripted input's "mark" line, echoed by the output so that a reader can synchronise on it.
    virtual void OnMark(std::string_view text) = 0;
};

class IInput {
  public:
    virtual ~IInput() = default;
    virtual void AppendPollFds(std::vector<pollfd>& fds) const = 0;
    // Reads whatever is ready and hands the due events on; never blocks.
    virtual void Service(IInputEvents& events, Time now) = 0;
    // When Service must run next without a ready descriptor (timed script lines).
    virtual std::optional<Time> NextDeadline() const { return std::nullopt; }
    // No further event will come (the end of a script).
    virtual bool Finished() const { return false; }
    // Lock-key lights set by the system on the emitting device.
    virtual void SetLed(uint16_t /*led*/, bool /*on*/) {}
};

class IOutput : public IKeySink {
  public:
    virtual void Mark(std::string_view /*text*/) {}
    // A descriptor that reports lock-key light changes, or -1.
    virtual int LedFd() const { return -1; }
    // Reads light changes from LedFd and hands each to `input`.
    virtual void ServiceLeds(IInput& /*input*/) {}
};

}  // namespace kb::filterd
