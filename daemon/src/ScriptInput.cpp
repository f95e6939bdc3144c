#include "src/ScriptInput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>

#include "src/KeyNames.h"
#include "src/Log.h"

namespace kb::filterd {

ScriptInput::ScriptInput(int fd, Time start) : fd_(fd), start_(start) {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    }
}

ScriptInput::~ScriptInput() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ScriptInput::AppendPollFds(std::vector<pollfd>& fds) const {
    // Read ahead only while nothing waits for its time, so that lines keep their order.
    if (!eof_ && queue_.empty()) {
        fds.push_back({fd_, POLLIN, 0});
    }
}

void ScriptInput::Parse(const std::string& text) {
    ++lineNumber_;
    std::istringstream in(text);
    std::string word;
    if (!(in >> word) || word[0] == '#') {
        return;
    }
    Line line;
    if (word.rfind("t=", 0) == 0) {
        long ms = -1;
        const auto [end, ec] = std::from_chars(word.data() + 2, word.data() + word.size(), ms);
        if (ec != std::errc() || end != word.data() + word.size() || ms < 0) {
            Log("script line %zu: bad time \"%s\"; skipped", lineNumber_, word.c_str());
            return;
        }
        line.at = start_ + std::chrono::milliseconds(ms);
        if (!(in >> word)) {
            Log("script line %zu: nothing after the time; skipped", lineNumber_);
            return;
        }
    }
    if (word == "mark") {
        std::getline(in >> std::ws, line.text);
        queue_.push_back(std::move(line));
        return;
    }
    std::string keyName;
    if ((word != "down" && word != "up") || !(in >> keyName)) {
        Log("script line %zu: expected \"down <key>\", \"up <key>\" or \"mark <text>\"; skipped",
            lineNumber_);
        return;
    }
    line.kind = word == "down" ? Line::Kind::Down : Line::Kind::Up;
    line.key = LinuxKeyFromName(keyName);
    if (line.key == 0) {
        Log("script line %zu: unknown key \"%s\"; skipped", lineNumber_, keyName.c_str());
        return;
    }
    queue_.push_back(std::move(line));
}

void ScriptInput::Service(IInputEvents& events, Time now) {
    while (queue_.empty() && !eof_) {
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
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
            Parse(partial_.substr(0, pos));
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
        switch (line.kind) {
            case Line::Kind::Down:
            case Line::Kind::Up:
                events.OnKey(line.key, line.kind == Line::Kind::Down, now);
                break;
            case Line::Kind::Mark:
                events.OnMark(line.text);
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
