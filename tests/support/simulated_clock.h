// The clock of the tests: virtual time that sleeping advances at once, and a
// calendar second pinned at its start so that draws repeat.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace talvoren {

class SimulatedClock final : public Clock {
public:
    // Calendar second at virtual time 0.
    explicit SimulatedClock(std::int64_t startSecond = 1'700'000'000) : startSecond_(startSecond) {}

    // Virtual milliseconds since the start.
    std::int64_t nowMs() const { return nowMs_; }

    void sleepMs(std::int64_t milliseconds) override {
        if (milliseconds > 0) nowMs_ += milliseconds;
    }
    std::int64_t steadyMs() override { return nowMs_; }
    std::int64_t calendarSeconds() override { return startSecond_ + nowMs_ / 1000; }

private:
    std::int64_t startSecond_;
    std::int64_t nowMs_ = 0;
};

}  // namespace talvoren
