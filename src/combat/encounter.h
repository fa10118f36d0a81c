// Meeting a monster: the two flavour lines, then the monster itself.
#pragma once

#include <cstdint>

namespace talvoren {

// Fills `enemy` (all but its lastHit) with a monster of a level from minLevel
// to maxLevel, after the wandering and encounter lines two seconds apart.
// The level is rolled first and the kind after the pauses, on the game's dice.
void generateEnemy(std::int32_t minLevel, std::int32_t maxLevel);
void printWanderingLine();
void printEncounterLine();

}  // namespace talvoren
