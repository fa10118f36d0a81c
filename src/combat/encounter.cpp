#include "combat/encounter.h"

#include <array>

#include "character/arithmetic.h"
#include "character/records.h"
#include "combat/random.h"
#include "console/text_kit.h"
#include "platform/platform.h"

namespace talvoren {

namespace {

constexpr std::array<MonsterKind, 4> kKinds{{
    {"Bear", 0.25, 4, 5, 2, 3, 31, 34, true},
    {"Hippopotamus", 0.25, 5, 6, 3, 4, 29, 32, true},
    {"Wasp", 0.1, 8, 9, 7, 8, 23, 25, false},
    {"Raven", 0.1, 3, 4, 1, 2, 20, 25, true},
}};

constexpr std::array<std::string_view, 10> kWanderingLines{
    "Walking around and sniffing flowers",
    "Collecting some rocks to add to your collection",
    "Looking for a 4 leaf clover",
    "Trying to play chess with yourself",
    "Eating mushrooms like theres no tommorow",
    "Going to laugh at poor people",
    "Doing magic tricks but you make it super obvious",
    "Putting the empty container back into the cabinet",
    "You forgot your gardners name",
    "You have fallen and you can't get back up",
};

constexpr std::array<std::string_view, 10> kEncounterLines{
    "You square up",
    "Someone insulted your rock collection",
    "You see something strange",
    "You put your hands in the air like they just don't care",
    "Someone picked up the 4 leaf clover you saw",
    "The mushroom lords are enraged with you",
    "You think yourself was cheating at chess",
    "Someone had thrown a tomatoe(the fruit) at you",
    "You have slipped on a banana peel while someone laughs",
    "You pretend you know Kung Fu",
};

constexpr std::int64_t kFlavourPauseMs = 2000;

// A base drawn from low x attribute to high x attribute.
std::int32_t drawBase(std::int32_t low, std::int32_t high, std::int32_t attribute) {
    return rollRange(saturatingMultiply(low, attribute), saturatingMultiply(high, attribute));
}

}  // namespace

const MonsterKind& monsterKind(std::int32_t draw) {
    return kKinds[static_cast<std::size_t>(draw) % kKinds.size()];
}

void printWanderingLine() {
    printLine(kWanderingLines[static_cast<std::size_t>(rollRange(0, 9))]);
}

void printEncounterLine() {
    printLine(kEncounterLines[static_cast<std::size_t>(rollRange(0, 9))]);
}

void generateEnemy(std::int32_t minLevel, std::int32_t maxLevel) {
    const std::int32_t strength = player.strength;
    const std::int32_t agility = player.agility;
    enemy.level = rollRange(minLevel, maxLevel);
    clearScreen();
    printWanderingLine();
    platform().sleepMs(kFlavourPauseMs);
    printEncounterLine();
    platform().sleepMs(kFlavourPauseMs);

    const MonsterKind& kind = monsterKind(rollRange(0, 3));
    const double factor = levelFactor(enemy.level, kind.levelWeight);
    enemy.name = std::string(kind.name);
    enemy.maxDamage = scaleByFactor(factor, drawBase(kind.maxDamageLow, kind.maxDamageHigh, strength));
    enemy.minDamage = scaleByFactor(factor, drawBase(kind.minDamageLow, kind.minDamageHigh, strength));
    const std::int32_t healthBase = drawBase(kind.healthLow, kind.healthHigh, agility);
    enemy.health = kind.healthScales ? scaleByFactor(factor, healthBase) : healthBase;
    enemy.maxHealth = enemy.health;
}

}  // namespace talvoren
