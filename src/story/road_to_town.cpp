#include "character/character_sheet.h"
#include "combat/battle.h"
#include "console/shown_name.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "rules/arithmetic.h"
#include "rules/records.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

constexpr std::int32_t kRoadMinLevel = 1;
constexpr std::int32_t kRoadMaxLevel = 3;
constexpr std::int32_t kWalkFights = 5;
constexpr std::int32_t kGateLevel = 3;
constexpr const char* kGatekeeper = "Jimmy";

bool fightOnTheRoad() {
    restoreHealth();
    return runBattle(kRoadMinLevel, kRoadMaxLevel) == "won";
}

void playNoticeAndFirstFight() {
    saveGame();
    clearScreen();
    writeRuleLine();
    printLine(":: NOTICE ::\nNext town is about 15 miles away");
    writeRuleLine();
    printLine("You think to your self 'Sure seems like 5 miles...'");
    pauseForEnter();
    sceneStep = fightOnTheRoad() ? 2 : 1;
}

void playWalk() {
    saveGame();
    clearScreen();
    printLine("OBJECTIVE: Get to the town about 15 miles away.");
    printLine(shownName(player.name));
    writeRuleLine();
    writeText("Level ");
    writeNumber(player.level);
    endLine();
    printExperienceLine();
    writeText("Gold ");
    writeNumber(player.gold);
    endLine();
    writeRuleLine();
    pauseForEnter();
    if (fightOnTheRoad()) {
        questCounter = saturatingAdd(questCounter, 1);
        if (questCounter >= kWalkFights) sceneStep = 3;
    }
}

void letIntoTown(bool afterRefusal) {
    showSpeechScreen(kGatekeeper, "You may enter, the wizard is waiting for you");
    if (afterRefusal) questCounter = 0;
    gateFlag = true;
    sceneStep = 1;
    actStage = code(ActStage::WizardTown);
}

void playTownGate() {
    clearScreen();
    if (gateFlag) {
        printLine("You have made it to the town, but are you allowed to enter?");
        writeRuleLine();
        pauseForEnter();
        if (player.level < kGateLevel) {
            showSpeechScreen(kGatekeeper,
                             "The wizard said anyone would do, but you are just too pathetic go "
                             "gain some experience\n"
                             "** You must be at least level 3 to enter this town **");
            gateFlag = false;
            sceneStep = 2;
        } else {
            letIntoTown(false);
        }
        return;
    }
    if (player.level < kGateLevel) {
        sceneStep = 2;
        return;
    }
    letIntoTown(true);
}

}  // namespace

void playRoadToTown() {
    switch (sceneStep) {
        case 2: playWalk(); break;
        case 3: playTownGate(); break;
        default:  // step 1, or a step from a damaged save: start the road over
            if (sceneStep != 1) questCounter = 0;
            sceneStep = 1;
            playNoticeAndFirstFight();
            break;
    }
}

}  // namespace talvoren
