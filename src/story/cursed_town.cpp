#include <cstdint>

#include "combat/battle.h"
#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/arithmetic.h"
#include "rules/records.h"
#include "story/hub_menu.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

constexpr std::int32_t kRavensToKill = 10;
constexpr std::int32_t kLevelToLeave = 21;

void playCallForHelp() {
    showSpeechScreen("?????", "Help, our town has been cursed!");
    showSpeechScreen("Phill", "My name is Phill, hurry come quick");
    game().state.sceneStep = 2;
}

// Printed below the previous screen: this menu does not clear first.
void playTownMenu() {
    GameState& state = game().state;
    writeRuleLine();
    // The objective has always said 5 while the quest counts kRavensToKill
    // (10); players know it so, and the screens must not change.
    printLine("Town :: Objective :: Kill 5 Ravens");
    if (state.questCounter <= kRavensToKill) {
        writeNumber(saturatingAdd(kRavensToKill, -static_cast<std::int64_t>(state.questCounter)));
        writeText(" remaining");
        endLine();
    } else {
        printLine("Level up to 21 to continue your adventure!");
    }
    writeRuleLine();
    printLine("[1] Wander around [ LVL: 16 -- > 20 ]");
    const bool canContinue = state.questCounter >= kRavensToKill && state.player.level >= kLevelToLeave;
    if (canContinue) printLine("[2] Continue");
    printHubOptions();
    const std::int32_t choice = readMenuChoice();
    switch (choice) {
        case 1: {
            const bool won = runBattle(state.player, state.enemy, 16, 20) == BattleResult::Won;
            if (won && state.enemy.name == "Raven") state.questCounter = saturatingAdd(state.questCounter, 1);
            break;
        }
        case 2:
            if (canContinue) {
                state.questCounter = 0;
                state.sceneStep = 1;
                state.actStage = code(ActStage::SecondWilderness);
            }
            break;
        default: handleHubChoice(choice); break;
    }
}

}  // namespace

void playCursedTown() {
    switch (game().state.sceneStep) {
        case 2: playTownMenu(); break;
        default:  // step 1, or a step from a damaged save: start the scene over
            game().state.sceneStep = 1;
            playCallForHelp();
            break;
    }
}

}  // namespace talvoren
