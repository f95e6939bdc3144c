// kbctl filter: the requests of the keyboard filter (kbfilterd, or the virtual filter when
// KBSTUDIO_VIRTUAL_FILTER=1): set its mode, hand it record.bin to reload, watch the key presses it pushes.
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>

#include "Cli.h"
#include "DeviceCli.h"
#include "kb/common/Utf.h"
#include "kb/device/FilterChannel.h"
#include "kb/keys/KeyTable.h"

namespace kbctl {
namespace {

using kb::KbFiltrDevice::FilterChannel;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

struct KeyEvent {
    int64_t ms;
    uint32_t code;
    uint32_t pressed;
};

// Hands the monitor thread's events to the main thread, which prints them: the monitor thread holds the
// channel's lock while it calls us and must not wait on the terminal.
class EventQueue {
  public:
    void Push(KeyEvent e) {
        const std::lock_guard guard(mutex_);
        events_.push_back(e);
        cv_.notify_one();
    }
    bool Pop(KeyEvent& e, std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, wait, [&] { return !events_.empty(); })) {
            return false;
        }
        e = events_.front();
        events_.pop_front();
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<KeyEvent> events_;
};

class QueueProxy final : public kb::KbFiltrDevice::IMonitorProxy {
  public:
    QueueProxy(EventQueue& queue, std::chrono::steady_clock::time_point start)
        : queue_(queue), start_(start) {}
    void OnMonitorKey(uint32_t code, uint32_t pressed) override {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
        queue_.Push({ms.count(), code, pressed});
    }

  private:
    EventQueue& queue_;
    std::chrono::steady_clock::time_point start_;
};

int Monitor(FilterChannel& channel, const CliContext& ctx) {
    int64_t count = -1;
    if (const std::string* text = ctx.Option("--count")) {
        count = ParseIntArg(*text, "--count");
        if (count < 1) {
            throw CliError("--count must be 1 or more");
        }
    }
    OpenFilter(channel);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    EventQueue queue;
    channel.SetProxy(std::make_unique<QueueProxy>(queue, std::chrono::steady_clock::now()));
    if (!channel.StartMonitor()) {
        throw CliError("cannot start the monitor thread");
    }
    std::cerr << "watching the held keys; Ctrl+C ends\n";
    int64_t printed = 0;
    while (g_interrupted == 0 && (count < 0 || printed < count)) {
        KeyEvent e{};
        if (!queue.Pop(e, std::chrono::milliseconds(100))) {
            continue;
        }
        std::string name = kb::Utf16ToUtf8(kb::KeyNameForCode(e.code));
        if (name.empty()) {
            name = "?";
        }
        char line[160];
        std::snprintf(line, sizeof line, "%8lld ms  %-7s 0x%05x %s\n", static_cast<long long>(e.ms),
                      e.pressed != 0 ? "press" : "release", e.code, name.c_str());
        std::cout << line << std::flush;
        ++printed;
    }
    channel.StopMonitor();
    return 0;
}

}  // namespace

int CmdFilter(const CliContext& ctx) {
    const std::vector<std::string>& args = ctx.positionals;
    if (args.empty()) {
        throw UsageError("missing request (mode, reload or monitor)");
    }
    FilterChannel channel;
    const std::string& what = args[0];
    if (what == "monitor" && args.size() == 1) {
        return Monitor(channel, ctx);
    }
    bool ok = false;
    kb::KbFiltrDevice::FilterReply reply;
    Json out;
    if (what == "mode" && args.size() == 2) {
        const int64_t value = ParseIntArg(args[1], "VALUE");
        if (value < 0 || value > 0xFFFFFFFF) {
            throw CliError("VALUE must be 0 to 0xFFFFFFFF, not " + args[1]);
        }
        OpenFilter(channel);
        ok = channel.SetFilterMode(static_cast<uint32_t>(value), &reply);
        out = {{"request", "set mode"}, {"mode", value}};
    } else if (what == "reload" && args.size() == 1) {
        OpenFilter(channel);
        // The daemon reads no path of ours: it gets the file itself, opened here.
        channel.SetRecordFile(ctx.dir / "record.bin");
        ok = channel.ReloadAssignments(&reply);
        out = {{"request", "reload assignments"}};
    } else if (what == "mode") {
        RequirePositionals(ctx, 2, "VALUE");
    } else if (what == "reload" || what == "monitor") {
        RequirePositionals(ctx, 1, "");
    } else {
        throw UsageError("unknown request " + what + " (mode, reload or monitor)");
    }
    if (!ok) {
        throw CliError(reply.refused ? "the daemon refused: " + reply.reason : reply.reason);
    }
    out["path"] = channel.LastOpenPath();
    PrintJson(out);
    return 0;
}

}  // namespace kbctl
