// kbfilterd as a process, with a client on its socket: what a listening client costs the daemon while
// no key is pressed (its wake-ups per second; goal 0), against the polling client it replaces, and how
// long a key event takes from the daemon's input to a subscribed client (goal: p99 <= 1 ms).
//
// The daemon reads a scripted input from a FIFO and prints instead of emitting, so no keyboard, uinput or
// root is needed.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kb/device/FilterWire.h"

namespace {

namespace fs = std::filesystem;
namespace fw = kb::filterwire;
using Clock = std::chrono::steady_clock;

// One kbfilterd on a private socket folder, its script a FIFO this process writes.
class Daemon {
  public:
    Daemon() {
        char pattern[] = "/tmp/kbfilterd_bench_XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("no temporary folder");
        }
        dir_ = pattern;
        const fs::path fifo = dir_ / "script";
        ::mkfifo(fifo.c_str(), 0600);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(KBFILTERD_PATH, "kbfilterd", "--records", (dir_ / "record.bin").c_str(), "--state-dir",
                    (dir_ / "state").c_str(), "--socket-dir", (dir_ / "sock").c_str(), "--script",
                    fifo.c_str(), "--print", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        script_ = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        const auto until = Clock::now() + std::chrono::seconds(10);
        while (!fs::exists(Socket())) {
            if (Clock::now() > until) {
                throw std::runtime_error("kbfilterd did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~Daemon() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        ::close(script_);
        fs::remove_all(dir_);
    }
    fs::path Socket() const { return dir_ / "sock" / fw::kSocketName; }
    void Write(const std::string& lines) const {
        if (::write(script_, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size())) {
            throw std::runtime_error("script write failed");
        }
    }
    // Context switches of the daemon so far: each is a wake-up (or a preemption while awake).
    long Switches() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        long total = 0;
        for (std::string line; std::getline(in, line);) {
            if (line.find("ctxt_switches:") != std::string::npos) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
        return total;
    }

  private:
    fs::path dir_;
    pid_t pid_ = -1;
    int script_ = -1;
};

class Client {
  public:
    explicit Client(const fs::path& socket) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket.c_str());
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error("cannot connect");
        }
    }
    ~Client() { ::close(fd_); }
    void Send(uint32_t code, std::vector<std::byte> input = {}) const {
        const fw::Header h = fw::MakeHeader(code, static_cast<uint32_t>(input.size()));
        std::vector<std::byte> bytes(h.begin(), h.end());
        bytes.insert(bytes.end(), input.begin(), input.end());
        if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("send failed");
        }
    }
    // One frame (a reply or an event): its first word.
    uint32_t ReadFrame() const {
        fw::Header h{};
        ReadExactly(h.data(), h.size());
        const fw::HeaderFields f = fw::ParseHeader(h);
        std::vector<std::byte> rest(f.length);
        ReadExactly(rest.data(), rest.size());
        return f.first;
    }
    void Subscribe() const {
        std::vector<std::byte> on(4);
        fw::PutU32(on.data(), fw::kSubscribeOn);
        Send(fw::kSubscribeKeys, on);
        if (ReadFrame() != 0) {
            throw std::runtime_error("subscription refused");
        }
    }

  private:
    void ReadExactly(std::byte* p, std::size_t n) const {
        while (n > 0) {
            const ssize_t got = ::read(fd_, p, n);
            if (got <= 0) {
                throw std::runtime_error("the daemon hung up");
            }
            p += got;
            n -= static_cast<std::size_t>(got);
        }
    }
    int fd_ = -1;
};

// A subscribed client and no key pressed: the daemon should not wake at all.
void BM_IdleSubscriberWakeUps(benchmark::State& state) {
    Daemon daemon;
    Client client(daemon.Socket());
    client.Subscribe();
    long switches = 0;
    double seconds = 0;
    for (auto _ : state) {
        const long before = daemon.Switches();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        switches += daemon.Switches() - before;
    }
    state.counters["wakeups_per_s"] = static_cast<double>(switches) / seconds;
}
BENCHMARK(BM_IdleSubscriberWakeUps)->Iterations(5)->Unit(benchmark::kMillisecond);

// For comparison: a client that asks for the held keys every millisecond, as the polling monitor did.
void BM_PollingClientWakeUps(benchmark::State& state) {
    Daemon daemon;
    Client client(daemon.Socket());
    long switches = 0;
    double seconds = 0;
    for (auto _ : state) {
        const long before = daemon.Switches();
        const auto start = Clock::now();
        for (auto next = start; Clock::now() - start < std::chrono::seconds(1);) {
            client.Send(fw::kReadHeldKeys);
            client.ReadFrame();
            next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
        }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        switches += daemon.Switches() - before;
    }
    state.counters["wakeups_per_s"] = static_cast<double>(switches) / seconds;
}
BENCHMARK(BM_PollingClientWakeUps)->Iterations(5)->Unit(benchmark::kMillisecond);

// From writing a key event to the daemon's input to its frame arriving at the subscriber. The events are
// 2 ms apart so that each is measured alone.
void BM_KeyEventToSubscriber(benchmark::State& state) {
    Daemon daemon;
    Client client(daemon.Socket());
    client.Subscribe();
    std::vector<double> micros;
    bool down = true;
    for (auto _ : state) {
        const auto start = Clock::now();
        daemon.Write(down ? "down a\n" : "up a\n");
        if (client.ReadFrame() != fw::kKeyEventTag) {
            state.SkipWithError("not an event frame");
            return;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        micros.push_back(elapsed * 1e6);
        down = !down;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) {
        return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_KeyEventToSubscriber)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
