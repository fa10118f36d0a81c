// Where the fights' draws come from: the calendar draw in play, a scripted
// one in tests.
#pragma once

#include <cstdint>

namespace talvoren {

class Dice {
public:
    virtual ~Dice() = default;
    // A number from lo to hi, both included; lo when hi lies below lo.
    virtual std::int32_t roll(std::int32_t lo, std::int32_t hi) = 0;
};

}  // namespace talvoren
