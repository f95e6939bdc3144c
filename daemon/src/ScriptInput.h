// Key events from a text stream instead of a keyboard, for tests and demonstrations. One event a line:
//
//   [t=<ms>] down|up <key>     <key>: a Linux key name, with or without "KEY_" (A, KEY_LEFTSHIFT, f1)
//   [t=<ms>] mark <text>       the output prints "mark <text>" when this line is reached
//   # comment, empty lines
//
// A line with t= waits until that many milliseconds after the daemon started (at most
// kMaxScriptTimeMs); a line without is taken when read. Bad lines are logged with their number and
// skipped.
#pragma once

#include <deque>
#include <string>

#include "kb/common/UniqueFd.h"
#include "src/Io.h"
#include "src/ScriptLine.h"

namespace kb::filterd {

class ScriptInput : public IInput {
  public:
    // Reads `fd` (a file, a pipe, stdin); `start` is the time t=0 stands for.
    ScriptInput(UniqueFd fd, Time start);

    void AppendPollFds(std::vector<pollfd>& fds) const override;
    void Service(IInputEvents& events, Time now) override;
    std::optional<Time> NextDeadline() const override;
    bool Finished() const override { return eof_ && queue_.empty(); }

  private:
    struct Line {
        std::optional<Time> at;
        ScriptLine event;
    };
    void Parse(std::string_view text);

    UniqueFd fd_;
    Time start_;
    bool eof_ = false;
    std::string partial_;
    std::size_t lineNumber_ = 0;
    std::deque<Line> queue_;
};

}  // namespace kb::filterd
