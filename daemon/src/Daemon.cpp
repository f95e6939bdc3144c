#include "src/Daemon.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "kb/common/UniqueFd.h"
#include "src/Log.h"
#include "src/RecordFile.h"

namespace kb::filterd {

namespace fw = filterwire;

Daemon::Daemon(IInput& input, IOutput& output, std::filesystem::path records, SocketAccess access)
    : input_(input),
      output_(output),
      records_(std::move(records)),
      served_(access),
      engine_(output),
      server_(*this, access) {}

bool Daemon::Reload(Time now) {
    RecordFileLoad load = LoadRecordFile(records_, served_);
    if (!load.ok) {
        Log("%s; keeping the previous assignments", load.error.c_str());
        return false;
    }
    std::vector<std::string> notes;
    std::vector<Assignment> assignments = BuildAssignments(load.records, notes);
    for (const std::string& note : notes) {
        Log("%s", note.c_str());
    }
    Log("loaded %zu assignments from %s", assignments.size(), records_.c_str());
    engine_.SetAssignments(std::move(assignments), now);
    return true;
}

bool Daemon::Start(const std::filesystem::path& socketFolder, std::string& error) {
    Reload(Now());
    if (!server_.Open(socketFolder, error)) {
        return false;
    }
    Log("listening on %s", server_.SocketPath().c_str());
    return true;
}

void Daemon::OnKey(uint16_t key, bool down, Time now) {
    engine_.OnKey(key, down, now);
}

void Daemon::OnKeyboardGone(Time /*now*/) {
    engine_.KeyboardGone();
}

void Daemon::OnMark(std::string_view text) {
    output_.Mark(text);
}

fw::Status Daemon::HandleRequest(uint32_t code, std::span<const std::byte> input,
                                 std::span<std::byte> output) {
    const Time now = Now();
    switch (code) {
        case fw::kReadHeldKeys: {
            std::array<uint32_t, fw::kHeldKeySlots> held{};
            engine_.Advance(now);
            engine_.HeldKeyCodes(held);
            for (std::size_t i = 0; i < held.size(); ++i) {
                fw::PutU32(output.data() + 4 * i, held[i]);
            }
            return fw::Status::Ok;
        }
        case fw::kReloadAssignments:
            return Reload(now) ? fw::Status::Ok : fw::Status::Failed;
        case fw::kSetMode: {
            const uint32_t mode = fw::GetU32(input.data());
            const uint32_t before = engine_.Mode();
            if (!engine_.SetMode(mode, now)) {
                Log("refused mode 0x%X", mode);
                return fw::Status::BadValue;
            }
            if (mode != before) {
                Log("mode 0x%X", mode);
            }
            return fw::Status::Ok;
        }
        default:
            return fw::Status::UnknownRequest;
    }
}

std::optional<Time> Daemon::NextDeadline() const {
    std::optional<Time> next;
    for (const std::optional<Time> d :
         {engine_.NextDeadline(), input_.NextDeadline(), server_.NextDeadline()}) {
        if (d && (!next || *d < *next)) {
            next = d;
        }
    }
    return next;
}

bool Daemon::TakeSignals(int signalFd) {
    signalfd_siginfo info{};
    while (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGHUP) {
            Log("signal %u (hang-up): reloading the record file", info.ssi_signo);
            Reload(Now());
            continue;
        }
        Log("signal %u: stopping", info.ssi_signo);
        return false;
    }
    return true;
}

int Daemon::Run() {
    // Every signal that would otherwise end the process without releasing the keys it holds.
    sigset_t signals;
    sigemptyset(&signals);
    for (const int s : {SIGTERM, SIGINT, SIGQUIT, SIGHUP}) {
        sigaddset(&signals, s);
    }
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const UniqueFd signalFd(::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
    ::signal(SIGPIPE, SIG_IGN);
    if (!signalFd) {
        Log("cannot watch signals: %s", std::strerror(errno));
        return 1;
    }

    std::vector<pollfd> fds;
    int status = 0;
    for (;;) {
        const Time now = Now();
        input_.Service(*this, now);
        engine_.Advance(now);
        if (input_.Finished() && !engine_.AnyPlaybackRunning()) {
            Log("end of the input");
            break;
        }

        fds.clear();
        fds.push_back({signalFd.Get(), POLLIN, 0});
        const int ledFd = output_.LedFd();
        if (ledFd >= 0) {
            fds.push_back({ledFd, POLLIN, 0});
        }
        input_.AppendPollFds(fds);
        server_.AppendPollFds(fds);

        const std::optional<Time> deadline = NextDeadline();
        timespec timeout{};
        if (deadline) {
            const Time wait = std::max(*deadline - Now(), Time{0});
            timeout.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(wait.count() % 1000000000);
        }
        const int ready = ::ppoll(fds.data(), fds.size(), deadline ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) {
            Log("poll failed: %s", std::strerror(errno));
            status = 1;
            break;
        }
        if (fds[0].revents != 0 && !TakeSignals(signalFd.Get())) {
            break;
        }
        if (ledFd >= 0 && fds[1].revents != 0) {
            output_.ServiceLeds(input_);
        }
        server_.Service();
    }
    engine_.ReleaseAll();
    return status;
}

}  // namespace kb::filterd
