#include "console/game_context.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "rules/arithmetic.h"
#include "rules/records.h"
#include "shell/shell.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

void finishActOne() {
    GameState& state = game().state;
    const SaveOutcome outcome = writeSaveFile(state.player, state.progress());
    writeRuleLine();
    printLine("You have finished act 1!");
    printLine(outcome.saved ? std::string("All your game data has been saved") : saveFailureLine(outcome));
    writeRuleLine();
    pauseForEnter();
    state.actRunning = false;
}

}  // namespace

void runActOne(std::string name) {
    GameState& state = game().state;
    state.player.name = std::move(name);
    state.player.maxHealth = saturatingMultiply(state.player.intelligence, 25);
    while (state.actRunning) {
        switch (static_cast<ActStage>(state.actStage)) {
            case ActStage::RoadToTown: playRoadToTown(); break;
            case ActStage::WizardTown: playWizardTown(); break;
            case ActStage::FirstWilderness: playFirstWilderness(); break;
            case ActStage::CursedTown: playCursedTown(); break;
            case ActStage::SecondWilderness: playSecondWilderness(); break;
            case ActStage::End: finishActOne(); return;
            default:
                // Only a damaged save gets here: the hero starts the act over,
                // with the walk's fight count from zero like a new hero's.
                state.setProgress(Progress{});
                break;
        }
    }
}

}  // namespace talvoren
