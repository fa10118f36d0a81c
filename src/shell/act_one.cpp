#include "character/arithmetic.h"
#include "character/records.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "shell/shell.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

void finishActOne() {
    saveGame();
    writeRuleLine();
    printLine("You have finished act 1!");
    printLine("All your game data has been saved");
    writeRuleLine();
    pauseForEnter();
    actRunning = false;
}

}  // namespace

void runActOne(std::string name) {
    player.name = std::move(name);
    player.maxHealth = saturatingMultiply(player.intelligence, 25);
    while (actRunning) {
        switch (actStage) {
            case 1: playRoadToTown(); break;
            case 2: playWizardTown(); break;
            case 3: playFirstWilderness(); break;
            case 4: playCursedTown(); break;
            case 5: playSecondWilderness(); break;
            case 6: finishActOne(); return;
            default:
                // Only a damaged save gets here: the hero starts the act over.
                actStage = 1;
                sceneStep = 1;
                break;
        }
    }
}

}  // namespace talvoren
