// Pacing time for the lighting sender: a sleep moves it at once and is remembered.
#pragma once

#include <cstdint>
#include <vector>

#include "kb/device/LightingSender.h"

namespace kbtest {

class FakePacingClock final : public kb::PacingClock {
  public:
    int64_t NowMs() override { return now; }
    void SleepMs(int64_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    int64_t now = 1'000'000;
    std::vector<int64_t> sleeps;
};

}  // namespace kbtest
