#include <cstdint>
#include <string_view>

#include "character/character_sheet.h"
#include "character/records.h"
#include "combat/battle.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

struct HuntingArea {
    std::string_view line;
    std::int32_t minLevel;
    std::int32_t maxLevel;
    std::int32_t offeredFromLevel;
};

struct Wilderness {
    HuntingArea areas[3];
    std::int32_t continueFromLevel;
    std::int32_t nextStage;
};

constexpr Wilderness kFirstWilderness{
    {{"[1] Wispy Forrest [ LVL: 3 -- > 6 ]", 3, 6, 1},
     {"[2] Cursed Swamp [ LVL: 7 -- > 10 ]", 7, 10, 7},
     {"[3] White Jungle [ LVL: 11 -- > 15 ]", 11, 15, 11}},
    16,
    4,
};

// Options 2 and 3 open at hero levels 7 and 11 here as well.
constexpr Wilderness kSecondWilderness{
    {{"[1] Grassy Field [ LVL: 21 -- > 25 ]", 21, 25, 1},
     {"[2] Dark Forest [ LVL: 26 -- > 30 ]", 26, 30, 7},
     {"[3] Sandy Cove [ LVL: 31 -- > 32 ]", 31, 32, 11}},
    32,
    6,
};

constexpr std::int32_t kContinue = 4;

void playWildernessMenu(const Wilderness& wilderness) {
    sceneStep = 1;  // the menu serves no other step; this mends a damaged save
    clearScreen();
    writeRuleLine();
    printLine("Wilderness :: Objectives :: Fight towards the Fountain of Youth");
    writeRuleLine();
    // Each gate opens only after the one before it.
    bool open = true;
    for (const HuntingArea& area : wilderness.areas) {
        open = open && player.level >= area.offeredFromLevel;
        if (open) printLine(area.line);
    }
    const bool canContinue = open && player.level >= wilderness.continueFromLevel;
    if (canContinue) printLine("[4] Continue");
    printLine("[10] Heal");
    printLine("[11] Character Statistics");
    printLine("");
    printLine("[98] Save Game");
    printLine("[99] Exit Game");

    const std::int32_t choice = readMenuChoice();
    if (choice >= 1 && choice <= 3) {
        const HuntingArea& area = wilderness.areas[choice - 1];
        if (player.level >= area.offeredFromLevel) runBattle(area.minLevel, area.maxLevel);
        return;
    }
    switch (choice) {
        case kContinue:
            if (canContinue) {
                sceneStep = 1;
                actStage = wilderness.nextStage;
            }
            break;
        case 10: restoreHealth(); break;
        case 11: showCharacterStats(); break;
        case 98: saveGame(); break;
        case 99: actRunning = false; break;
        default: break;
    }
}

}  // namespace

void playFirstWilderness() { playWildernessMenu(kFirstWilderness); }

void playSecondWilderness() { playWildernessMenu(kSecondWilderness); }

}  // namespace talvoren
