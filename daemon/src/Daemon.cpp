#include "src/Daemon.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "kb/common/UniqueFd.h"
#include "src/Log.h"
#include "src/RecordFile.h"
#include "src/StateFolder.h"

namespace kb::filterd {

namespace fw = filterwire;

namespace {

constexpr std::size_t kMaxNoteLines = 20;

// One log line per cause: a file with a million faulty records must not give a million lines.
void LogNotes(const std::vector<std::string>& notes) {
    struct Cause {
        std::size_t count = 0;
        std::string first;
        std::size_t order = 0;
    };
    std::map<std::string_view, Cause> causes;
    for (const std::string& note : notes) {
        const std::size_t colon = note.find(": ");
        const std::string_view cause =
            colon == std::string::npos ? std::string_view(note) : std::string_view(note).substr(colon + 2);
        Cause& c = causes[cause];
        if (c.count++ == 0) {
            c.first = note;
            c.order = causes.size();
        }
    }
    std::vector<std::pair<std::string_view, const Cause*>> ordered;
    for (const auto& [text, cause] : causes) {
        ordered.emplace_back(text, &cause);
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.second->order < b.second->order; });
    std::size_t lines = 0, rest = 0;
    for (const auto& [text, cause] : ordered) {
        if (lines == kMaxNoteLines) {
            rest += cause->count;
            continue;
        }
        ++lines;
        if (cause->count == 1) {
            Log("%s", cause->first.c_str());
        } else {
            Log("%zu records: %.*s (the first: %s)", cause->count, static_cast<int>(text.size()), text.data(),
                cause->first.c_str());
        }
    }
    if (rest > 0) {
        Log("%zu more records with other problems", rest);
    }
}

uint64_t Microseconds(Time t) {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(t).count());
}

}  // namespace

sigset_t DaemonSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int s : {SIGTERM, SIGINT, SIGQUIT, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM}) {
        sigaddset(&signals, s);
    }
    return signals;
}

Daemon::Daemon(IInput& input, IOutput& output, DaemonFiles files, SocketAccess access)
    : input_(input), output_(output), files_(std::move(files)), engine_(output), server_(*this, access) {}

void Daemon::Apply(std::span<const KeyRecord> records, const std::string& source, Time now) {
    std::vector<std::string> notes;
    std::vector<Assignment> assignments = BuildAssignments(records, notes);
    LogNotes(notes);
    Log("loaded %zu assignments from %s", assignments.size(), source.c_str());
    loadedOnce_ = true;
    engine_.SetAssignments(std::move(assignments), now);
}

bool Daemon::Reload(Time now, std::string& reason) {
    const bool own = files_.records.empty();
    const std::filesystem::path path = own ? files_.stateFolder / kStateCopyName : files_.records;
    RecordFileLoad load = LoadRecordFile(path, server_.Access());
    if (!load.ok) {
        reason = own && load.missing ? "no record file handed over yet" : load.error;
        Log("%s; %s", reason.c_str(), loadedOnce_ ? "keeping the previous assignments" : "no assignments");
        return false;
    }
    Apply(load.records, path.string(), now);
    return true;
}

bool Daemon::ReloadHanded(int fd, uid_t peer, Time now, std::string& reason) {
    RecordFileLoad load = LoadHandedRecordFile(fd, peer);
    if (load.ok && (!PrepareStateFolder(files_.stateFolder, reason) ||
                    !SaveStateCopy(files_.stateFolder, load.data, reason))) {
        load.ok = false;
        load.error = reason;
    }
    if (!load.ok) {
        reason = load.error;
        Log("uid %u: %s; keeping the previous assignments", static_cast<unsigned>(peer), reason.c_str());
        return false;
    }
    Apply(load.records, "the record file of uid " + std::to_string(peer), now);
    return true;
}

bool Daemon::Start(const std::filesystem::path& socketFolder, std::string& error) {
    if (files_.records.empty() && !PrepareStateFolder(files_.stateFolder, error)) {
        return false;
    }
    std::string reason;
    Reload(Now(), reason);
    if (!server_.Open(socketFolder, error)) {
        return false;
    }
    Log("listening on %s", server_.SocketPath().c_str());
    return true;
}

void Daemon::BackToNormal(const char* why) {
    Log("mode 0x%X ends (%s): back to mode 1, every key released", engine_.Mode(), why);
    modeOwner_.reset();
    engine_.ReleaseAll();
    engine_.SetMode(fw::kModeNormal, Now());
}

void Daemon::OnKey(uint16_t key, bool down, Time now) {
    if (const uint32_t code = CodeForLinuxKey(key); code != 0) {
        server_.Push({code, down, Microseconds(now)});
    }
    const uint32_t before = engine_.Mode();
    engine_.OnKey(key, down, now);
    if (before != fw::kModeNormal && engine_.Mode() == fw::kModeNormal) {
        Log("mode 0x%X ends (the panic chord): back to mode 1, every key released", before);
        modeOwner_.reset();
    }
}

void Daemon::OnKeyboardGone(Time /*now*/) {
    engine_.KeyboardGone();
}

void Daemon::OnMark(std::string_view text) {
    output_.Mark(text);
}

void Daemon::OnClientGone(uint64_t client) {
    if (modeOwner_ == client) {
        BackToNormal("the client that chose it is gone");
    }
}

fw::Status Daemon::HandleRequest(uint32_t code, std::span<const std::byte> input, std::span<std::byte> output,
                                 RequestContext& context) {
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
        case fw::kReloadAssignments: {
            const bool ok = context.descriptor >= 0
                                ? ReloadHanded(context.descriptor, context.uid, now, context.reason)
                                : Reload(now, context.reason);
            return ok ? fw::Status::Ok : fw::Status::Failed;
        }
        case fw::kSetMode: {
            const uint32_t mode = fw::GetU32(input.data());
            const uint32_t before = engine_.Mode();
            if (!engine_.SetMode(mode, now)) {
                char text[32];
                std::snprintf(text, sizeof text, "refused mode 0x%X", mode);
                context.reason = text;
                Log("%s", text);
                return fw::Status::BadValue;
            }
            // The mode that swallows or unmaps keys lasts as long as the connection that chose it.
            if (mode == fw::kModeNormal) {
                modeOwner_.reset();
            } else {
                modeOwner_ = context.client;
            }
            if (mode != before) {
                Log("mode 0x%X", mode);
            }
            return fw::Status::Ok;
        }
        case fw::kSubscribeKeys: {
            const uint32_t value = fw::GetU32(input.data());
            if (value != fw::kSubscribeOn && value != fw::kSubscribeOff) {
                char text[48];
                std::snprintf(text, sizeof text, "refused subscription value 0x%X", value);
                context.reason = text;
                return fw::Status::BadValue;
            }
            context.subscribe = value == fw::kSubscribeOn;
            return fw::Status::Ok;
        }
        default:
            context.reason = "unknown request";
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
        const int signo = static_cast<int>(info.ssi_signo);
        if (signo == SIGHUP) {
            Log("signal %u (hang-up): reloading the record file", info.ssi_signo);
            std::string reason;
            Reload(Now(), reason);
            continue;
        }
        if (signo == SIGUSR1 || signo == SIGUSR2 || signo == SIGALRM) {
            Log("signal %u (SIG%s) from pid %u ignored", info.ssi_signo, sigabbrev_np(signo), info.ssi_pid);
            continue;
        }
        Log("signal %u: stopping", info.ssi_signo);
        return false;
    }
    return true;
}

int Daemon::Run() {
    // Blocked already by main; again here for callers that did not.
    const sigset_t signals = DaemonSignals();
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
