// Meeting a monster: its kind and strength, and the two flavour lines.
#pragma once

#include <cstdint>
#include <string_view>

namespace talvoren {

struct MonsterKind {
    std::string_view name;
    double levelWeight;
    // Base ranges as multiples of the hero's Strength (damage) or Agility (health).
    std::int32_t maxDamageLow, maxDamageHigh;
    std::int32_t minDamageLow, minDamageHigh;
    std::int32_t healthLow, healthHigh;
    bool healthScales;
};

// The four kinds, indexed by a draw of 0 to 3.
const MonsterKind& monsterKind(std::int32_t draw);

// Fills `enemy` with a monster of a level from minLevel to maxLevel, showing
// the wandering and encounter lines two seconds apart.
void generateEnemy(std::int32_t minLevel, std::int32_t maxLevel);
void printWanderingLine();
void printEncounterLine();

}  // namespace talvoren
