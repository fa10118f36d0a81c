#include <cstdint>

#include "combat/battle.h"
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
    sceneStep = 2;
}

// Printed below the previous screen: this menu does not clear first.
void playTownMenu() {
    writeRuleLine();
    printLine("Town :: Objective :: Kill 5 Ravens");
    if (questCounter <= kRavensToKill) {
        writeNumber(saturatingAdd(kRavensToKill, -static_cast<std::int64_t>(questCounter)));
        writeText(" remaining");
        endLine();
    } else {
        printLine("Level up to 21 to continue your adventure!");
    }
    writeRuleLine();
    printLine("[1] Wander around [ LVL: 16 -- > 20 ]");
    const bool canContinue = questCounter >= kRavensToKill && player.level >= kLevelToLeave;
    if (canContinue) printLine("[2] Continue");
    printHubOptions();
    const std::int32_t choice = readMenuChoice();
    switch (choice) {
        case 1:
            if (runBattle(16, 20) == "won" && enemy.name == "Raven") {
                questCounter = saturatingAdd(questCounter, 1);
            }
            break;
        case 2:
            if (canContinue) {
                questCounter = 0;
                sceneStep = 1;
                actStage = code(ActStage::SecondWilderness);
            }
            break;
        default: handleHubChoice(choice); break;
    }
}

}  // namespace

void playCursedTown() {
    switch (sceneStep) {
        case 2: playTownMenu(); break;
        default:  // step 1, or a step from a damaged save: start the scene over
            sceneStep = 1;
            playCallForHelp();
            break;
    }
}

}  // namespace talvoren
