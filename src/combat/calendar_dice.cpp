#include "combat/calendar_dice.h"

#include "rules/random.h"

namespace talvoren {

std::int32_t CalendarDice::roll(std::int32_t lo, std::int32_t hi) {
    return rollRangeAt(clock_.calendarSeconds(), lo, hi);
}

}  // namespace talvoren
