// The game's dice in play: the pure draw of rules/random.h, reseeded from the
// calendar second at every roll, so rolls made within one second share one
// value.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "rules/dice.h"

namespace talvoren {

// The game's own dice: rollRangeAt with `clock`'s calendar second, reseeded
// at every roll.
class CalendarDice final : public Dice {
public:
    explicit CalendarDice(Clock& clock) : clock_(clock) {}
    std::int32_t roll(std::int32_t lo, std::int32_t hi) override;

private:
    Clock& clock_;
};

}  // namespace talvoren
