// The daemon's single thread: one poll loop over the input, the socket, the output's lights and the
// signals, with the engine's next deadline as its time-out (absolute deadlines on the monotonic clock).
#pragma once

#include <signal.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/Engine.h"
#include "src/Clock.h"
#include "src/Io.h"
#include "src/SocketServer.h"

namespace kb::filterd {

struct DaemonFiles {
    // The record file given on the command line; when empty the state folder's copy is used instead.
    std::filesystem::path records;
    // Where the copy of a handed-over record file is kept.
    std::filesystem::path stateFolder;
};

// The signals the daemon takes through its loop; blocked from the first moment of main on, so that
// none of them can end the process with keys held or the socket left behind.
sigset_t DaemonSignals();

class Daemon : private IInputEvents, private IRequestHandler {
  public:
    Daemon(IInput& input, IOutput& output, DaemonFiles files, SocketAccess access);

    // Loads the record file or the state copy (a missing or refused one leaves no assignment) and opens
    // the socket. False with `error` when the state folder or the socket cannot be used.
    bool Start(const std::filesystem::path& socketFolder, std::string& error);

    // Runs until SIGTERM, SIGINT or SIGQUIT (or until a finished script has nothing left to play);
    // releases every key on the way out. SIGHUP reloads; SIGUSR1, SIGUSR2 and SIGALRM are ignored.
    // Returns the exit status.
    int Run();

  private:
    void OnKey(uint16_t key, bool down, Time now) override;
    void OnKeyboardGone(Time now) override;
    void OnMark(std::string_view text) override;
    filterwire::Status HandleRequest(uint32_t code, std::span<const std::byte> input,
                                     std::span<std::byte> output, RequestContext& context) override;
    void OnClientGone(uint64_t client) override;
    // Reloads from the record file or the state copy; false with `reason` when nothing changed.
    bool Reload(Time now, std::string& reason);
    // Checks and reads a handed-over record file, keeps its copy and applies it.
    bool ReloadHanded(int fd, uid_t peer, Time now, std::string& reason);
    void Apply(std::span<const KeyRecord> records, const std::string& source, Time now);
    // Back to mode 1 with nothing held, because the connection that chose the mode is gone (or the
    // panic chord was pressed).
    void BackToNormal(const char* why);
    // The earliest time something must run without a ready descriptor.
    std::optional<Time> NextDeadline() const;
    // Reads the pending signals; false when one of them stops the daemon.
    bool TakeSignals(int signalFd);

    IInput& input_;
    IOutput& output_;
    DaemonFiles files_;
    Engine engine_;
    SocketServer server_;
    // The connection that set mode 0 or capture; the mode ends with it.
    std::optional<uint64_t> modeOwner_;
    bool loadedOnce_ = false;
};

}  // namespace kb::filterd
