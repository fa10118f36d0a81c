// The rules of a fight as plain functions of their inputs: the monster, the
// blows, healing, and what a victory or a death does to the hero. Every
// draw comes from the dice passed in; nothing here prints or reads the clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dice.h"
#include "grade.h"
#include "records.h"

namespace talvoren {

// The hero's damage range for a fight: 3 to 5 times Strength, grown by a
// quarter per level.
struct DamageRange {
    std::int32_t low = 0;
    std::int32_t high = 0;
};
DamageRange heroDamageRange(const Player& hero);

// A monster of the kind drawn (0 Bear, 1 Hippopotamus, 2 Wasp, 3 Raven; other
// draws wrap round) and of `level`. Its damage follows the hero's Strength and
// its health the hero's Agility; three rolls, in this order: high damage, low
// damage, health. Full health, and no blow struck yet.
Enemy makeMonster(std::int32_t kindDraw, std::int32_t level, const Player& hero, Dice& dice);

// The picture file of the monster kind named, or empty for a name of no kind.
std::string pictureFileFor(std::string_view monsterName);

// The two rolls of an Attack turn, made before the bar: the hero's blow from
// the hero's range, then the monster's strike from its own.
struct Blows {
    std::int32_t hero = 0;
    std::int32_t monster = 0;
};
Blows rollBlows(const Player& hero, const Enemy& monster, Dice& dice);

// What a grade of the bar makes of a rolled blow or heal: a Critical doubles
// it, a Miss makes it nothing, a Hit leaves it.
std::int32_t gradedAmount(Grade grade, std::int32_t rolled);

enum class TurnEnd { FightOn, HeroFell, MonsterFell };
// Both blows land; the hero is looked at first, so a turn that fells both
// is a defeat.
TurnEnd exchangeBlows(Player& hero, Enemy& monster, std::int32_t heroBlow, std::int32_t monsterStrike);

// The hero's health after healing `amount`: never above maxHealth.
std::int32_t healedHealth(std::int32_t health, std::int32_t amount, std::int32_t maxHealth);

// What beating a monster of `monsterLevel` pays: loot grows with the hero's
// level, experience with both levels. Two rolls: loot, then experience.
struct Victory {
    std::int32_t loot = 0;
    std::int32_t experience = 0;
};
Victory rollVictory(const Player& hero, std::int32_t monsterLevel, Dice& dice);
// Pays the victory; returns true when the hero reached the next level (one
// level at most per victory, with 5 skill points).
[[nodiscard]] bool applyVictory(Player& hero, const Victory& victory);

// The gold a death costs: one to three times the hero's level.
std::int32_t rollDeathPenalty(const Player& hero, Dice& dice);
// Takes the penalty from a hero who has gold, never below 0; returns false,
// changing nothing, for a hero without gold.
[[nodiscard]] bool applyDeathPenalty(Player& hero, std::int32_t penalty);

}  // namespace talvoren
