// The game's one fight: the hero against one generated monster.
#pragma once

#include <cstdint>
#include <string>

namespace talvoren {

// The choice, not shown on the turn screen, that wins the fight at once.
inline constexpr std::int32_t kInstantVictoryChoice = 6142;

// Runs a whole battle against a monster of a level from minLevel to
// maxLevel and returns "won" or "lost" (a death or a flight). The hero's
// health is not restored afterwards; `enemy` keeps the monster as it ended.
std::string runBattle(std::int32_t minLevel, std::int32_t maxLevel);

// The victory screen: loot, experience and at most one level-up.
void showVictory();
// The death screen: a gold penalty that never takes gold below 0.
void showDeath();

}  // namespace talvoren
