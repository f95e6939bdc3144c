// kbfilterd's engine: (1) throughput over long event scripts, driven the way the daemon's loop drives
// it (Advance at every deadline up to the next key event, then OnKey), with an output that only counts;
// (2) the player's step timing error against the real monotonic clock, waiting the way the daemon's loop
// waits (ppoll with a time-out computed from the engine's absolute deadline), beside an absolute
// clock_nanosleep player and a plain sleep_for player.
//
// The timing runs are short by default; `--player_steps=10000` gives the full run (about 105 s each).
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/Engine.h"

// Counts heap allocations, so that the per-event path can be shown to make none.
namespace {
std::atomic<long> gAllocations{0};
}
// Out of line: inlined into an optimised build, GCC pairs malloc and free with the library's operators
// and reports a mismatch.
[[gnu::noinline]] void* operator new(std::size_t n) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n == 0 ? 1 : n)) {
        return p;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using kb::filterd::Assignment;
using kb::filterd::Engine;
using kb::filterd::PlayMode;
using kb::filterd::PlayStep;
using kb::filterd::Time;
using std::chrono::milliseconds;

class CountingSink : public kb::filterd::IKeySink {
  public:
    uint64_t count = 0;
    void Emit(uint16_t /*key*/, bool /*down*/) override { ++count; }
};

struct Event {
    Time at;
    uint16_t key;
    bool down;
};

constexpr std::size_t kScriptEvents = 1 << 14;

Assignment Remap(uint16_t from, uint16_t to) {
    Assignment a;
    a.source = from;
    a.remap = true;
    a.target = to;
    return a;
}

Assignment Macro(uint16_t from, std::vector<PlayStep> steps) {
    Assignment a;
    a.source = from;
    a.play = PlayMode::Times;
    a.repeat = 1;
    for (const PlayStep& s : steps) {
        a.roundMs += s.delayMs;
    }
    a.steps = std::move(steps);
    return a;
}

// Every script binds the same keys, so that pass-through meets a realistic table.
std::vector<Assignment> BenchAssignments() {
    std::vector<Assignment> out;
    out.push_back(Remap(KEY_CAPSLOCK, KEY_LEFTCTRL));
    out.push_back(Macro(KEY_F1, {{KEY_LEFTCTRL, true, 0}, {KEY_C, true, 0}}));
    // Eleven events with 1 ms between them; the last key stays down until the playback ends.
    std::vector<PlayStep> hello;
    static constexpr uint16_t kHello[] = {KEY_H, KEY_E, KEY_L, KEY_L, KEY_O};
    for (uint16_t k : kHello) {
        hello.push_back({k, true, 1});
        hello.push_back({k, false, 1});
    }
    hello.push_back({KEY_ENTER, true, 1});
    out.push_back(Macro(KEY_F2, std::move(hello)));
    // A few more records that the scripts never press.
    out.push_back(Remap(KEY_F5, KEY_VOLUMEUP));
    out.push_back(Remap(KEY_F6, KEY_VOLUMEDOWN));
    return out;
}

enum class Script { PassThrough, Remap, Combination, Macro11 };

// Down/up pairs; `gapMs` apart, keys held `holdMs`. Pass-through rolls over 16 unassigned letters.
std::vector<Event> MakeScript(Script kind) {
    static constexpr uint16_t kLetters[] = {KEY_Q, KEY_W, KEY_R, KEY_T, KEY_Y, KEY_U, KEY_I, KEY_P,
                                            KEY_A, KEY_S, KEY_D, KEY_F, KEY_G, KEY_J, KEY_K, KEY_Z};
    std::vector<Event> out;
    out.reserve(kScriptEvents);
    int64_t t = 0;
    for (std::size_t i = 0; out.size() < kScriptEvents; ++i) {
        uint16_t key = 0;
        int64_t hold = 30;
        int64_t gap = 40;
        switch (kind) {
            case Script::PassThrough:
                key = kLetters[i % 16];
                break;
            case Script::Remap:
                key = KEY_CAPSLOCK;
                break;
            case Script::Combination:
                key = KEY_F1;
                break;
            case Script::Macro11:
                key = KEY_F2;
                hold = 5;  // released mid-playback: the remaining steps still play
                gap = 20;
                break;
        }
        out.push_back({milliseconds(t), key, true});
        out.push_back({milliseconds(t + hold), key, false});
        t += gap;
    }
    return out;
}

void BM_EngineThroughput(benchmark::State& state, Script kind) {
    const std::vector<Event> script = MakeScript(kind);
    const Time span = script.back().at + milliseconds(50);
    CountingSink sink;
    Engine engine(sink);
    engine.SetAssignments(BenchAssignments(), Time{0});
    Time base{0};
    long allocations = 0;
    for (auto _ : state) {
        const long before = gAllocations.load(std::memory_order_relaxed);
        for (const Event& e : script) {
            const Time at = base + e.at;
            // What the daemon's loop does: run the playback at each deadline it sleeps to.
            for (std::optional<Time> d = engine.NextDeadline(); d && *d <= at; d = engine.NextDeadline()) {
                engine.Advance(*d);
            }
            engine.OnKey(e.key, e.down, at);
        }
        base += span;
        engine.Advance(base);
        allocations += gAllocations.load(std::memory_order_relaxed) - before;
    }
    benchmark::DoNotOptimize(sink.count);
    const auto events = static_cast<double>(state.iterations()) * static_cast<double>(script.size());
    state.SetItemsProcessed(static_cast<int64_t>(events));
    state.counters["ns_per_event"] =
        benchmark::Counter(events / 1e9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["emitted_per_event"] = static_cast<double>(sink.count) / events;
    state.counters["allocs_per_event"] = static_cast<double>(allocations) / events;
}

BENCHMARK_CAPTURE(BM_EngineThroughput, pass_through, Script::PassThrough);
BENCHMARK_CAPTURE(BM_EngineThroughput, one_key_remap, Script::Remap);
BENCHMARK_CAPTURE(BM_EngineThroughput, two_event_combination, Script::Combination);
BENCHMARK_CAPTURE(BM_EngineThroughput, eleven_event_macro, Script::Macro11);

// ---- Step timing with the real clock ----

Time MonotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

std::vector<uint32_t> StepDelays(std::size_t steps) {
    std::mt19937 random(4);  // the same steps for every player
    std::uniform_int_distribution<uint32_t> ms(1, 20);
    std::vector<uint32_t> out(steps);
    for (uint32_t& d : out) {
        d = ms(random);
    }
    return out;
}

// When each step reached the output, and when its player meant it to.
struct StepTimes {
    std::vector<Time> at;
    std::vector<Time> aimed;
};

// Lateness of each step against the time its player aimed at (the step timing error), and against the
// schedule (start + the delays before the step), where a player's errors add up if it keeps only
// relative delays.
void Report(benchmark::State& state, const std::vector<uint32_t>& delays, Time start, const StepTimes& t) {
    std::vector<double> late;
    std::vector<double> schedule;
    Time due = start;
    for (std::size_t i = 0; i < t.at.size(); ++i) {
        late.push_back(std::chrono::duration<double, std::milli>(t.at[i] - t.aimed[i]).count());
        schedule.push_back(std::chrono::duration<double, std::milli>(t.at[i] - due).count());
        due += milliseconds(delays[i]);
    }
    auto percentile = [](std::vector<double> v, double p) {
        if (v.empty()) {
            return 0.0;
        }
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
    };
    state.counters["steps"] = static_cast<double>(t.at.size());
    state.counters["err_p50_ms"] = percentile(late, 0.50);
    state.counters["err_p99_ms"] = percentile(late, 0.99);
    state.counters["err_max_ms"] = percentile(late, 1.0);
    state.counters["early_steps"] =
        static_cast<double>(std::count_if(late.begin(), late.end(), [](double x) { return x < 0; }));
    state.counters["schedule_err_p99_ms"] = percentile(schedule, 0.99);
}

// Records each emitted step; the first step of an Advance was aimed at the deadline the loop waited
// for, a further one (the loop woke too late for it) at its own deadline, one delay on.
class TimingSink : public kb::filterd::IKeySink {
  public:
    explicit TimingSink(const std::vector<uint32_t>& delays) : delays_(delays) {}
    StepTimes times;
    Time awaited{};
    bool fresh = true;
    void Emit(uint16_t /*key*/, bool /*down*/) override {
        const Time now = MonotonicNow();
        const std::size_t i = times.at.size();
        const Time aimed = fresh || i == 0 ? awaited : times.aimed[i - 1] + milliseconds(delays_[i - 1]);
        fresh = false;
        times.at.push_back(now);
        times.aimed.push_back(aimed);
    }

  private:
    const std::vector<uint32_t>& delays_;
};

// The engine playing one long macro (alternating down/up of a key, each step its own delay), woken the
// way kbfilterd's loop is: ppoll on descriptors that stay quiet, the time-out computed from
// NextDeadline, then Advance with a fresh reading of the clock.
void BM_PlayerEnginePpoll(benchmark::State& state) {
    const auto steps = static_cast<std::size_t>(state.range(0));
    const std::vector<uint32_t> delays = StepDelays(steps);
    const int quiet = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    for (auto _ : state) {
        std::vector<PlayStep> macro;
        for (std::size_t i = 0; i < steps; ++i) {
            macro.push_back({KEY_X, i % 2 == 0, delays[i]});
        }
        std::vector<Assignment> assignments{Macro(KEY_F3, std::move(macro))};
        TimingSink sink(delays);
        sink.times.at.reserve(steps + 1);
        sink.times.aimed.reserve(steps + 1);
        Engine engine(sink);
        engine.SetAssignments(std::move(assignments), MonotonicNow());
        const Time start = MonotonicNow();
        sink.awaited = start;
        engine.OnKey(KEY_F3, true, start);  // held to the end, so that no release comes between steps
        while (engine.AnyPlaybackRunning()) {
            const std::optional<Time> deadline = engine.NextDeadline();
            pollfd fds[1] = {{quiet, POLLIN, 0}};
            timespec timeout{};
            const Time wait = std::max(*deadline - MonotonicNow(), Time{0});
            timeout.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(wait.count() % 1000000000);
            ::ppoll(fds, 1, &timeout, nullptr);
            sink.awaited = *deadline;
            sink.fresh = true;
            engine.Advance(MonotonicNow());
        }
        engine.OnKey(KEY_F3, false, MonotonicNow());
        sink.times.at.resize(std::min(sink.times.at.size(), steps));  // the last step's key lets go after it
        sink.times.aimed.resize(sink.times.at.size());
        Report(state, delays, start, sink.times);
    }
    ::close(quiet);
}

// Absolute deadlines slept to with clock_nanosleep(TIMER_ABSTIME), for comparison.
void BM_PlayerAbsoluteSleep(benchmark::State& state) {
    const auto steps = static_cast<std::size_t>(state.range(0));
    const std::vector<uint32_t> delays = StepDelays(steps);
    for (auto _ : state) {
        StepTimes t;
        const Time start = MonotonicNow();
        Time due = start;
        for (std::size_t i = 0; i < steps; ++i) {
            const auto s = std::chrono::duration_cast<std::chrono::seconds>(due);
            const timespec ts{static_cast<time_t>(s.count()), static_cast<long>((due - s).count())};
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
            }
            t.at.push_back(MonotonicNow());
            t.aimed.push_back(due);
            due += milliseconds(delays[i]);
        }
        Report(state, delays, start, t);
    }
}

// A plain player: emit, then sleep_for the step's delay. Its errors add up over the steps.
void BM_PlayerSleepFor(benchmark::State& state) {
    const auto steps = static_cast<std::size_t>(state.range(0));
    const std::vector<uint32_t> delays = StepDelays(steps);
    for (auto _ : state) {
        StepTimes t;
        const Time start = MonotonicNow();
        Time aimed = start;
        for (std::size_t i = 0; i < steps; ++i) {
            t.at.push_back(MonotonicNow());
            t.aimed.push_back(aimed);
            const Time before = MonotonicNow();
            std::this_thread::sleep_for(milliseconds(delays[i]));
            aimed = before + milliseconds(delays[i]);  // all a relative sleep aims at
        }
        Report(state, delays, start, t);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int64_t playerSteps = 200;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        constexpr const char* kFlag = "--player_steps=";
        if (std::strncmp(argv[i], kFlag, std::strlen(kFlag)) == 0) {
            playerSteps = std::max<int64_t>(2, std::atoll(argv[i] + std::strlen(kFlag)));
        } else {
            args.push_back(argv[i]);
        }
    }
    for (auto [name, fn] : {std::pair{"BM_PlayerEnginePpoll", &BM_PlayerEnginePpoll},
                            std::pair{"BM_PlayerAbsoluteSleep", &BM_PlayerAbsoluteSleep},
                            std::pair{"BM_PlayerSleepFor", &BM_PlayerSleepFor}}) {
        benchmark::RegisterBenchmark(name, fn)
            ->Arg(playerSteps)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
