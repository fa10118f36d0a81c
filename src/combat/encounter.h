// Meeting a monster: the two flavour lines, then the monster itself.
#pragma once

#include <cstdint>

#include "rules/records.h"

namespace talvoren {

// A monster of a level from minLevel to maxLevel, made for `hero`, after the
// wandering and encounter lines two seconds apart. The level is rolled first
// and the kind after the pauses, on the game's dice. The new monster's
// lastHit is `carriedLastHit`, the last strike of the monster met before:
// the game has always handed it on (until the first Attack turn strikes
// anew), so it is kept, and named here so nobody relies on it unknowingly.
Enemy generateEnemy(std::int32_t minLevel, std::int32_t maxLevel, const Player& hero,
                    std::int32_t carriedLastHit);

}  // namespace talvoren
