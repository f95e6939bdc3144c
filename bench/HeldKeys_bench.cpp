// The monitor's held-key comparison per poll: HeldKeyTracker against the straightforward form (clear bit 31
// in both arrays, mark every pair of equal codes over all 256 x 256 slots, report unmarked entries).
// Goal: at most 1 microsecond per poll with 6 keys held.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kb/device/HeldKeyTracker.h"

namespace {

using Poll = std::array<uint32_t, 256>;

struct Event {
    uint32_t code;
    bool pressed;
    bool operator==(const Event&) const = default;
};

class Straightforward {
  public:
    // Returns the number of events written to `out` (presses in new order, then releases in old order).
    std::size_t Update(const Poll& keys, std::array<Event, 512>& out) {
        Poll now = keys;
        for (std::size_t i = 0; i < 256; ++i) {
            now[i] &= 0x7FFFFFFFu;
            held_[i] &= 0x7FFFFFFFu;
        }
        for (std::size_t o = 0; o < 256; ++o) {
            for (std::size_t n = 0; n < 256; ++n) {
                if (held_[o] != 0 && (held_[o] & 0x7FFFFFFFu) == (now[n] & 0x7FFFFFFFu)) {
                    held_[o] |= 0x80000000u;
                    now[n] |= 0x80000000u;
                }
            }
        }
        std::size_t count = 0;
        for (std::size_t n = 0; n < 256; ++n) {
            if (now[n] != 0 && (now[n] & 0x80000000u) == 0) {
                out[count++] = {now[n], true};
            }
        }
        for (std::size_t o = 0; o < 256; ++o) {
            if (held_[o] != 0 && (held_[o] & 0x80000000u) == 0) {
                out[count++] = {held_[o], false};
            }
        }
        for (std::size_t i = 0; i < 256; ++i) {
            held_[i] = now[i] & 0x7FFFFFFFu;
        }
        return count;
    }

  private:
    Poll held_{};
};

// A typing pattern: `held` keys down in every poll, and every `changeEvery` polls one of them is replaced.
std::vector<Poll> Script(std::size_t held, std::size_t changeEvery) {
    std::vector<Poll> polls(64);
    uint32_t next = 0x10;
    Poll current{};
    for (std::size_t k = 0; k < held; ++k) {
        current[k] = next++;
    }
    for (std::size_t p = 0; p < polls.size(); ++p) {
        if (changeEvery != 0 && p % changeEvery == changeEvery - 1 && held > 0) {
            const uint32_t code = next++;
            current[p % held] = code | (code % 2 == 0 ? 0x10000u : 0u);
        }
        polls[p] = current;
    }
    return polls;
}

// Both forms must give the same events before either is timed.
void CheckSameEvents(const std::vector<Poll>& polls) {
    kb::HeldKeyTracker tracker;
    Straightforward plain;
    std::array<Event, 512> events{};
    for (int round = 0; round < 2; ++round) {
        for (const Poll& poll : polls) {
            const auto got = tracker.Update(poll);
            const std::size_t count = plain.Update(poll, events);
            bool same = got.size() == count;
            for (std::size_t i = 0; same && i < count; ++i) {
                same = got[i].code == events[i].code && got[i].pressed == events[i].pressed;
            }
            if (!same) {
                std::fprintf(stderr, "the two comparisons disagree\n");
                std::abort();
            }
        }
    }
}

void Args(benchmark::internal::Benchmark* b) {
    b->ArgNames({"held", "changeEvery"});
    b->Args({0, 0});
    b->Args({6, 0});
    b->Args({6, 8});
    b->Args({6, 1});
    b->Args({32, 8});
}

void BM_HeldKeyTracker(benchmark::State& state) {
    const auto polls =
        Script(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    CheckSameEvents(polls);
    kb::HeldKeyTracker tracker;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tracker.Update(polls[i]).size());
        i = (i + 1) % polls.size();
    }
}
BENCHMARK(BM_HeldKeyTracker)->Apply(Args);

void BM_Straightforward256x256(benchmark::State& state) {
    const auto polls =
        Script(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    Straightforward plain;
    std::array<Event, 512> events{};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(plain.Update(polls[i], events));
        benchmark::ClobberMemory();
        i = (i + 1) % polls.size();
    }
}
BENCHMARK(BM_Straightforward256x256)->Apply(Args);

}  // namespace

BENCHMARK_MAIN();
