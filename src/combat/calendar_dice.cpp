#include "combat/calendar_dice.h"

#include "console/game_context.h"
#include "rules/random.h"

namespace talvoren {

std::int32_t rollRange(std::int32_t lo, std::int32_t hi) {
    return rollRangeAt(game().clock.calendarSeconds(), lo, hi);
}

std::int32_t CalendarDice::roll(std::int32_t lo, std::int32_t hi) {
    return rollRangeAt(clock_.calendarSeconds(), lo, hi);
}

}  // namespace talvoren
