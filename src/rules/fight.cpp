#include "fight.h"

#include <algorithm>
#include <array>

#include "arithmetic.h"
#include "random.h"

namespace talvoren {

namespace {

struct MonsterKind {
    std::string_view name;
    std::string_view pictureFile;
    double levelWeight;
    // Ranges as multiples of the hero's Strength (damage) or Agility (health).
    std::int32_t maxDamageLow, maxDamageHigh;
    std::int32_t minDamageLow, minDamageHigh;
    std::int32_t healthLow, healthHigh;
    bool healthScales;
};

constexpr std::array<MonsterKind, 4> kKinds{{
    {"Bear", "bear.txt", 0.25, 4, 5, 2, 3, 31, 34, true},
    {"Hippopotamus", "hippopotamus.txt", 0.25, 5, 6, 3, 4, 29, 32, true},
    {"Wasp", "wasp.txt", 0.1, 8, 9, 7, 8, 23, 25, false},
    {"Raven", "raven.txt", 0.1, 3, 4, 1, 2, 20, 25, true},
}};

// A value rolled from low x attribute to high x attribute.
std::int32_t rollScaled(Dice& dice, std::int32_t low, std::int32_t high, std::int32_t attribute) {
    return dice.roll(saturatingMultiply(low, attribute), saturatingMultiply(high, attribute));
}

// Rewards and penalties are never negative, so that gold and experience
// move only the way they should even for a level from a damaged save.
std::int32_t atLeastZero(std::int32_t amount) {
    return std::max<std::int32_t>(amount, 0);
}

std::int32_t lessBy(std::int32_t value, std::int32_t amount) {
    return saturatingAdd(value, -static_cast<std::int64_t>(amount));
}

}  // namespace

DamageRange heroDamageRange(const Player& hero) {
    const double factor = levelFactor(hero.level, kHeroLevelWeight);
    return {scaleByFactor(factor, saturatingMultiply(hero.strength, 3)),
            scaleByFactor(factor, saturatingMultiply(hero.strength, 5))};
}

Enemy makeMonster(std::int32_t kindDraw, std::int32_t level, const Player& hero, Dice& dice) {
    const MonsterKind& kind = kKinds[static_cast<std::size_t>(kindDraw) % kKinds.size()];
    const double factor = levelFactor(level, kind.levelWeight);
    Enemy monster;
    monster.name = std::string(kind.name);
    monster.level = level;
    monster.maxDamage =
        scaleByFactor(factor, rollScaled(dice, kind.maxDamageLow, kind.maxDamageHigh, hero.strength));
    monster.minDamage =
        scaleByFactor(factor, rollScaled(dice, kind.minDamageLow, kind.minDamageHigh, hero.strength));
    const std::int32_t health = rollScaled(dice, kind.healthLow, kind.healthHigh, hero.agility);
    monster.health = kind.healthScales ? scaleByFactor(factor, health) : health;
    monster.maxHealth = monster.health;
    return monster;
}

std::string pictureFileFor(std::string_view monsterName) {
    for (const MonsterKind& kind : kKinds) {
        if (kind.name == monsterName) return std::string(kind.pictureFile);
    }
    return {};
}

Blows rollBlows(const Player& hero, const Enemy& monster, Dice& dice) {
    Blows blows;
    blows.hero = dice.roll(hero.minDamage, hero.maxDamage);
    blows.monster = dice.roll(monster.minDamage, monster.maxDamage);
    return blows;
}

std::int32_t gradedAmount(Grade grade, std::int32_t rolled) {
    switch (grade) {
        case Grade::Critical: return saturatingMultiply(rolled, 2);
        case Grade::Miss: return 0;
        case Grade::Hit: break;
    }
    return rolled;
}

TurnEnd exchangeBlows(Player& hero, Enemy& monster, std::int32_t heroBlow, std::int32_t monsterStrike) {
    monster.health = lessBy(monster.health, heroBlow);
    hero.health = lessBy(hero.health, monsterStrike);
    if (hero.health <= 0) return TurnEnd::HeroFell;
    if (monster.health <= 0) return TurnEnd::MonsterFell;
    return TurnEnd::FightOn;
}

std::int32_t healedHealth(std::int32_t health, std::int32_t amount, std::int32_t maxHealth) {
    return std::min(saturatingAdd(health, amount), maxHealth);
}

Victory rollVictory(const Player& hero, std::int32_t monsterLevel, Dice& dice) {
    const std::int32_t level = hero.level;
    Victory victory;
    victory.loot = atLeastZero(rollScaled(dice, 5, 8, level));
    const std::int32_t base = rollScaled(dice, 6, 7, level);
    victory.experience = atLeastZero(scaleByFactor(levelFactor(monsterLevel, kHeroLevelWeight), base));
    return victory;
}

bool applyVictory(Player& hero, const Victory& victory) {
    hero.gold = saturatingAdd(hero.gold, victory.loot);
    hero.experience = saturatingAdd(hero.experience, victory.experience);
    if (hero.experience < hero.experienceToNext) return false;
    hero.skillPoints = saturatingAdd(hero.skillPoints, 5);
    hero.experienceToNext =
        saturatingAdd(hero.experienceStep, 2 * static_cast<std::int64_t>(hero.experienceToNext));
    hero.experienceStep = saturatingMultiply(hero.experienceStep, 2);
    hero.level = saturatingAdd(hero.level, 1);
    return true;
}

std::int32_t rollDeathPenalty(const Player& hero, Dice& dice) {
    return atLeastZero(rollScaled(dice, 1, 3, hero.level));
}

bool applyDeathPenalty(Player& hero, std::int32_t penalty) {
    if (hero.gold <= 0) return false;
    hero.gold = std::max<std::int32_t>(lessBy(hero.gold, penalty), 0);
    return true;
}

}  // namespace talvoren
