// The daemon's single thread: one poll loop over the input, the socket, the output's lights and the
// signals, with the engine's next deadline as its time-out (absolute deadlines on the monotonic clock).
#pragma once

#include <filesystem>
#include <string>

#include "engine/Engine.h"
#include "src/Clock.h"
#include "src/Io.h"
#include "src/SocketServer.h"

namespace kb::filterd {

class Daemon : private IInputEvents, private IRequestHandler {
  public:
    Daemon(IInput& input, IOutput& output, std::filesystem::path records, SocketAccess access);

    // Loads the record file (a missing or refused file leaves no assignment) and opens the socket.
    bool Start(const std::filesystem::path& socketFolder, std::string& error);

    // Runs until SIGTERM, SIGINT or SIGQUIT (or until a finished script has nothing left to play);
    // releases every key on the way out. SIGHUP reloads the record file. Returns the exit status.
    int Run();

  private:
    void OnKey(uint16_t key, bool down, Time now) override;
    void OnKeyboardGone(Time now) override;
    void OnMark(std::string_view text) override;
    filterwire::Status HandleRequest(uint32_t code, std::span<const std::byte> input,
                                     std::span<std::byte> output) override;
    bool Reload(Time now);
    // The earliest time something must run without a ready descriptor.
    std::optional<Time> NextDeadline() const;
    // Reads the pending signals; false when one of them stops the daemon.
    bool TakeSignals(int signalFd);

    IInput& input_;
    IOutput& output_;
    std::filesystem::path records_;
    SocketAccess served_;
    Engine engine_;
    SocketServer server_;
};

}  // namespace kb::filterd
