// The game's one random draw as a pure function of the calendar second, and
// the level multiplier that monster stats, damage, health and experience share.
#pragma once

#include <cstdint>

namespace talvoren {

// The first value of our generator after seeding with `seed`: the same on
// every platform and compiler, never negative.
std::uint32_t firstDrawAfterSeed(std::uint32_t seed);

// lo + d % (hi - lo + 1) for the draw d of the given second. A range whose
// high end lies below its low end gives lo.
std::int32_t rollRangeAt(std::int64_t calendarSeconds, std::int32_t lo, std::int32_t hi);

// The hero's damage and health grow by a quarter per hero level, and the
// experience a victory pays by a quarter per monster level, whatever its kind.
inline constexpr double kHeroLevelWeight = 0.25;

// level x f + 1.0: the level multiplier of monster stats, damage and experience.
double levelFactor(std::int32_t level, double f);

// trunc(factor x base) as a 32-bit number, saturating past its limits.
std::int32_t scaleByFactor(double factor, std::int32_t base);

}  // namespace talvoren
