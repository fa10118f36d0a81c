// The game's one fight: the hero against one generated monster.
#pragma once

#include <cstdint>

#include "rules/records.h"

namespace talvoren {

// The choice, not shown on the turn screen, that wins the fight at once.
inline constexpr std::int32_t kInstantVictoryChoice = 6142;

// How a battle ended for the hero: a flight counts as lost.
enum class BattleResult { Won, Lost };

// Runs a whole battle of `hero` against a monster of a level from minLevel to
// maxLevel, met in `monster`. What the fight pays or costs (gold, experience,
// levels) is left on `hero` for the next save to write; its health is not
// restored afterwards, and `monster` keeps the monster as it ended.
BattleResult runBattle(Player& hero, Enemy& monster, std::int32_t minLevel, std::int32_t maxLevel);

// The victory screen: the loot and experience of beating `monster`, paid to
// `hero`, and at most one level-up. Ends the game state's battle.
void showVictory(Player& hero, const Enemy& monster);
// The death screen: a gold penalty that never takes gold below 0. Ends the
// game state's battle.
void showDeath(Player& hero);

}  // namespace talvoren
