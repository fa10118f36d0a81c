#include <cstdint>
#include <limits>
#include <string_view>

#include "combat/battle.h"
#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/records.h"
#include "story/hub_menu.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

// The first area is open to every hero, whatever level a save claims.
constexpr std::int32_t kAlwaysOpen = std::numeric_limits<std::int32_t>::min();

struct HuntingArea {
    std::string_view line;
    std::int32_t minLevel;
    std::int32_t maxLevel;
    std::int32_t offeredFromLevel;
};

struct Wilderness {
    HuntingArea areas[3];
    std::int32_t continueFromLevel;
    ActStage nextStage;
};

constexpr Wilderness kFirstWilderness{
    {{"[1] Wispy Forrest [ LVL: 3 -- > 6 ]", 3, 6, kAlwaysOpen},
     {"[2] Cursed Swamp [ LVL: 7 -- > 10 ]", 7, 10, 7},
     {"[3] White Jungle [ LVL: 11 -- > 15 ]", 11, 15, 11}},
    16,
    ActStage::CursedTown,
};

// Options 2 and 3 open at hero levels 7 and 11 here as well.
constexpr Wilderness kSecondWilderness{
    {{"[1] Grassy Field [ LVL: 21 -- > 25 ]", 21, 25, kAlwaysOpen},
     {"[2] Dark Forest [ LVL: 26 -- > 30 ]", 26, 30, 7},
     {"[3] Sandy Cove [ LVL: 31 -- > 32 ]", 31, 32, 11}},
    32,
    ActStage::End,
};

constexpr std::int32_t kContinue = 4;

void playWildernessMenu(const Wilderness& wilderness) {
    GameState& state = game().state;
    Player& hero = state.player;
    state.sceneStep = 1;  // the menu serves no other step; this mends a damaged save
    clearScreen();
    writeRuleLine();
    printLine("Wilderness :: Objectives :: Fight towards the Fountain of Youth");
    writeRuleLine();
    // Each gate opens only after the one before it.
    bool open = true;
    for (const HuntingArea& area : wilderness.areas) {
        open = open && hero.level >= area.offeredFromLevel;
        if (open) printLine(area.line);
    }
    const bool canContinue = open && hero.level >= wilderness.continueFromLevel;
    if (canContinue) printLine("[4] Continue");
    printHubOptions();

    const std::int32_t choice = readMenuChoice();
    if (choice >= 1 && choice <= 3) {
        const HuntingArea& area = wilderness.areas[choice - 1];
        if (hero.level >= area.offeredFromLevel) runBattle(hero, state.enemy, area.minLevel, area.maxLevel);
        return;
    }
    if (choice == kContinue) {
        if (canContinue) {
            state.sceneStep = 1;
            state.actStage = code(wilderness.nextStage);
        }
        return;
    }
    handleHubChoice(choice);
}

}  // namespace

void playFirstWilderness() {
    playWildernessMenu(kFirstWilderness);
}

void playSecondWilderness() {
    playWildernessMenu(kSecondWilderness);
}

}  // namespace talvoren
