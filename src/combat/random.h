// The game's one random draw. It is reseeded from the calendar second at
// every call, so draws made within one second share one value.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "rules/dice.h"

namespace talvoren {

// The first value of our generator after seeding with `seed`: the same on
// every platform and compiler, never negative.
std::uint32_t firstDrawAfterSeed(std::uint32_t seed);

// lo + d % (hi - lo + 1) for the draw d of the given second. A range whose
// high end lies below its low end gives lo.
std::int32_t rollRangeAt(std::int64_t calendarSeconds, std::int32_t lo, std::int32_t hi);

// rollRangeAt with the running game's calendar time, reseeded at every call.
std::int32_t rollRange(std::int32_t lo, std::int32_t hi);

// The game's own dice: rollRangeAt with `clock`'s calendar second, reseeded
// at every roll.
class CalendarDice final : public Dice {
public:
    explicit CalendarDice(Clock& clock) : clock_(clock) {}
    std::int32_t roll(std::int32_t lo, std::int32_t hi) override;

private:
    Clock& clock_;
};

// level x f + 1.0: the level multiplier of monster stats, damage and experience.
double levelFactor(std::int32_t level, double f);

// trunc(factor x base) as a 32-bit number, saturating past its limits.
std::int32_t scaleByFactor(double factor, std::int32_t base);

}  // namespace talvoren
