#include "random.h"

#include "arithmetic.h"

namespace talvoren {

std::uint32_t firstDrawAfterSeed(std::uint32_t seed) {
    // SplitMix64 finaliser: every seed maps to one well-mixed value.
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 33);  // 31 bits: never negative as an int
}

std::int32_t rollRangeAt(std::int64_t calendarSeconds, std::int32_t lo, std::int32_t hi) {
    if (hi < lo) return lo;
    const auto seed = static_cast<std::uint32_t>(static_cast<std::uint64_t>(calendarSeconds));
    const std::int64_t width = static_cast<std::int64_t>(hi) - lo + 1;  // 1 to 2^32
    const std::int64_t d = firstDrawAfterSeed(seed);
    return static_cast<std::int32_t>(lo + d % width);
}

double levelFactor(std::int32_t level, double f) {
    return level * f + 1.0;
}

std::int32_t scaleByFactor(double factor, std::int32_t base) {
    return truncateToInt32(factor * static_cast<double>(base));
}

}  // namespace talvoren
