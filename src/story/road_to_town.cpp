#include "character/character_sheet.h"
#include "combat/battle.h"
#include "console/game_context.h"
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

// The hero goes into each fight on the road at full health.
bool fightOnTheRoad(GameState& state) {
    restoreHealth(state.player);
    return runBattle(state.player, state.enemy, kRoadMinLevel, kRoadMaxLevel) == BattleResult::Won;
}

void playNoticeAndFirstFight() {
    GameState& state = game().state;
    saveGame(state.player, state.progress());
    clearScreen();
    writeRuleLine();
    printLine(":: NOTICE ::\nNext town is about 15 miles away");
    writeRuleLine();
    printLine("You think to your self 'Sure seems like 5 miles...'");
    pauseForEnter();
    state.sceneStep = fightOnTheRoad(state) ? 2 : 1;
}

void playWalk() {
    GameState& state = game().state;
    saveGame(state.player, state.progress());
    clearScreen();
    printLine("OBJECTIVE: Get to the town about 15 miles away.");
    printLine(shownName(state.player.name));
    writeRuleLine();
    writeText("Level ");
    writeNumber(state.player.level);
    endLine();
    printExperienceLine();
    writeText("Gold ");
    writeNumber(state.player.gold);
    endLine();
    writeRuleLine();
    pauseForEnter();
    if (fightOnTheRoad(state)) {
        state.questCounter = saturatingAdd(state.questCounter, 1);
        if (state.questCounter >= kWalkFights) state.sceneStep = 3;
    }
}

void letIntoTown(bool afterRefusal) {
    showSpeechScreen(kGatekeeper, "You may enter, the wizard is waiting for you");
    GameState& state = game().state;
    if (afterRefusal) state.questCounter = 0;
    state.gateFlag = true;
    state.sceneStep = 1;
    state.actStage = code(ActStage::WizardTown);
}

void playTownGate() {
    GameState& state = game().state;
    clearScreen();
    if (state.gateFlag) {
        printLine("You have made it to the town, but are you allowed to enter?");
        writeRuleLine();
        pauseForEnter();
        if (state.player.level < kGateLevel) {
            showSpeechScreen(kGatekeeper,
                             "The wizard said anyone would do, but you are just too pathetic go "
                             "gain some experience\n"
                             "** You must be at least level 3 to enter this town **");
            state.gateFlag = false;
            state.sceneStep = 2;
        } else {
            letIntoTown(false);
        }
        return;
    }
    if (state.player.level < kGateLevel) {
        state.sceneStep = 2;
        return;
    }
    letIntoTown(true);
}

}  // namespace

void playRoadToTown() {
    GameState& state = game().state;
    switch (state.sceneStep) {
        case 2: playWalk(); break;
        case 3: playTownGate(); break;
        default:  // step 1, or a step from a damaged save: start the road over
            if (state.sceneStep != 1) state.questCounter = 0;
            state.sceneStep = 1;
            playNoticeAndFirstFight();
            break;
    }
}

}  // namespace talvoren
