// Key events from a text stream instead of a keyboard, for tests and demonstrations. One event a line:
//
//   [t=<ms>] down|up <key>     <key>: a Linux key name, with or without "KEY_" (A, KEY_LEFTSHIFT, f1)
//   [t=<ms>] mark <text>       the output prints "mark <text>" when this line is reached
//   # comment, empty lines
//
// A line with t= waits until that many milliseconds after the daemon started; a line without is taken
// when read. Bad lines are logged and skipped.
#pragma once

#include <deque>
#include <string>

#include "src/Io.h"

namespace kb::filterd {

class ScriptInput : public IInput {
  public:
    // Takes ownership of `fd` (a file or stdin); `start` is the time t=0 stands for.
    ScriptInput(int fd, Time start);
    ~ScriptInput() override;
    ScriptInput(const ScriptInput&) = delete;
    ScriptInput& operator=(const ScriptInput&) = delete;

    void AppendPollFds(std::vector<pollfd>& fds) const override;
    void Service(IInputEvents& events, Time now) override;
    std::optional<Time> NextDeadline() const override;
    bool Finished() const override { return eof_ && queue_.empty(); }

  private:
    struct Line {
        std::optional<Time> at;
        enum class Kind { Down, Up, Mark } kind = Kind::Mark;
        uint16_t key = 0;
        std::string text;
    };
    void Parse(const std::string& line);

    int fd_;
    Time start_;
    bool eof_ = false;
    std::string partial_;
    std::size_t lineNumber_ = 0;
    std::deque<Line> queue_;
};

}  // namespace kb::filterd
