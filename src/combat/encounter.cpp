#include "combat/encounter.h"

#include <array>

#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/dice.h"
#include "rules/fight.h"
#include "rules/records.h"

namespace talvoren {

namespace {

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

void printWanderingLine() {
    printLine(kWanderingLines[static_cast<std::size_t>(game().dice.roll(0, 9)) % kWanderingLines.size()]);
}

void printEncounterLine() {
    printLine(kEncounterLines[static_cast<std::size_t>(game().dice.roll(0, 9)) % kEncounterLines.size()]);
}

}  // namespace

Enemy generateEnemy(std::int32_t minLevel, std::int32_t maxLevel, const Player& hero,
                    std::int32_t carriedLastHit) {
    Dice& dice = game().dice;
    const std::int32_t level = dice.roll(minLevel, maxLevel);
    clearScreen();
    printWanderingLine();
    game().clock.sleepMs(kFlavourPauseMs);
    printEncounterLine();
    game().clock.sleepMs(kFlavourPauseMs);

    const std::int32_t kindDraw = dice.roll(0, 3);
    Enemy monster = makeMonster(kindDraw, level, hero, dice);
    monster.lastHit = carriedLastHit;
    return monster;
}

}  // namespace talvoren
