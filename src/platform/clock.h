// Time as the game sees it: pauses, a steady clock for animations and the
// calendar second that seeds the draws.
#pragma once

#include <cstdint>

namespace talvoren {

class Clock {
public:
    virtual ~Clock() = default;
    // Waits the given number of milliseconds (negative counts as zero). What
    // was written to the console is on screen before the wait begins.
    virtual void sleepMs(std::int64_t milliseconds) = 0;
    // A steady clock in milliseconds for pacing animations.
    virtual std::int64_t steadyMs() = 0;
    // Calendar time in whole seconds since the epoch.
    virtual std::int64_t calendarSeconds() = 0;
};

// The clock of the machine the game was built for.
Clock& nativeClock();

}  // namespace talvoren
