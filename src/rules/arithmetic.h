// 32-bit game numbers that stay defined at their limits: every sum, product
// and conversion saturates instead of wrapping.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace talvoren {

inline std::int32_t clampToInt32(std::int64_t value) {
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < low ? low : (value > high ? high : value));
}

inline std::int32_t saturatingAdd(std::int32_t a, std::int64_t b) {
    // b is at most a 32-bit sum of two values in practice; guard the 64-bit sum too.
    if (b > std::numeric_limits<std::int64_t>::max() / 2) b = std::numeric_limits<std::int64_t>::max() / 2;
    if (b < std::numeric_limits<std::int64_t>::min() / 2) b = std::numeric_limits<std::int64_t>::min() / 2;
    return clampToInt32(static_cast<std::int64_t>(a) + b);
}

inline std::int32_t saturatingMultiply(std::int32_t a, std::int32_t b) {
    return clampToInt32(static_cast<std::int64_t>(a) * b);
}

// Truncates toward zero; values past 32 bits saturate and NaN gives 0.
inline std::int32_t truncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace talvoren
