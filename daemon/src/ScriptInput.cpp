#include "src/ScriptInput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "src/Log.h"

namespace kb::filterd {

ScriptInput::ScriptInput(UniqueFd fd, Time start) : fd_(std::move(fd)), start_(start) {
    const int flags = ::fcntl(fd_.Get(), F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd_.Get(), F_SETFL, flags | O_NONBLOCK);
    }
}

void ScriptInput::AppendPollFds(std::vector<pollfd>& fds) const {
    // Read ahead only while nothing waits for its time, so that lines keep their order.
    if (!eof_ && queue_.empty()) {
        fds.push_back({fd_.Get(), POLLIN, 0});
    }
}

void ScriptInput::Parse(std::string_view text) {
    ++lineNumber_;
    std::string problem;
    std::optional<ScriptLine> event = ParseScriptLine(text, problem);
    if (!event) {
        if (!problem.empty()) {
            Log("script line %zu: %s; skipped", lineNumber_, problem.c_str());
        }
        return;
    }
    Line line;
    if (event->at) {
        line.at = start_ + *event->at;
    }
    line.event = std::move(*event);
    queue_.push_back(std::move(line));
}

void ScriptInput::Service(IInputEvents& events, Time now) {
    while (queue_.empty() && !eof_) {
        char buffer[4096];
        const ssize_t n = ::read(fd_.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        if (n <= 0) {
            if (n < 0) {
                Log("script input: %s", std::strerror(errno));
            }
            eof_ = true;
            if (!partial_.empty()) {
                Parse(partial_);
                partial_.clear();
            }
            break;
        }
        partial_.append(buffer, static_cast<std::size_t>(n));
        std::size_t pos;
        while ((pos = partial_.find('\n')) != std::string::npos) {
            Parse(std::string_view(partial_).substr(0, pos));
            partial_.erase(0, pos + 1);
        }
        if (partial_.size() > 4096) {
            Log("script line %zu too long; dropped", lineNumber_ + 1);
            partial_.clear();
        }
    }
    while (!queue_.empty() && (!queue_.front().at || *queue_.front().at <= now)) {
        const Line line = std::move(queue_.front());
        queue_.pop_front();
        switch (line.event.kind) {
            case ScriptLine::Kind::Down:
            case ScriptLine::Kind::Up:
                events.OnKey(line.event.key, line.event.kind == ScriptLine::Kind::Down, now);
                break;
            case ScriptLine::Kind::Mark:
                events.OnMark(line.event.text);
                break;
        }
    }
}

std::optional<Time> ScriptInput::NextDeadline() const {
    if (!queue_.empty()) {
        return queue_.front().at.value_or(Time{});
    }
    return std::nullopt;
}

}  // namespace kb::filterd
