// The game's one random draw. It is reseeded from the calendar second at
// every call, so draws made within one second share one value.
#pragma once

#include <cstdint>

namespace talvoren {

// The first value of our generator after seeding with `seed`: the same on
// every platform and compiler, never negative.
std::uint32_t firstDrawAfterSeed(std::uint32_t seed);

// lo + d % (hi - lo + 1) for the draw d of the given second. A range whose
// high end lies below its low end gives lo.
std::int32_t rollRangeAt(std::int64_t calendarSeconds, std::int32_t lo, std::int32_t hi);

// rollRangeAt with the platform's calendar time, reseeded at every call.
std::int32_t rollRange(std::int32_t lo, std::int32_t hi);

// Where the fights' draws come from: the calendar draw in play, a scripted
// one in tests.
class Dice {
public:
    virtual ~Dice() = default;
    // A number from lo to hi, both included; lo when hi lies below lo.
    virtual std::int32_t roll(std::int32_t lo, std::int32_t hi) = 0;
};

// The game's own dice: rollRange, reseeded from the calendar at every roll.
class CalendarDice final : public Dice {
public:
    std::int32_t roll(std::int32_t lo, std::int32_t hi) override { return rollRange(lo, hi); }
};

// The dice the fights roll: the calendar dice, unless others were set.
Dice& gameDice();
// Makes the fights roll `dice` (which must outlive their use) from now on.
void setGameDice(Dice& dice);
// Back to the calendar dice.
void useCalendarDice();

// level x f + 1.0: the level multiplier of monster stats, damage and experience.
double levelFactor(std::int32_t level, double f);

// trunc(factor x base) as a 32-bit number, saturating past its limits.
std::int32_t scaleByFactor(double factor, std::int32_t base);

}  // namespace talvoren
