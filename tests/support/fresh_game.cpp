#include "fresh_game.h"

#include "rules/records.h"

namespace talvoren::test_support {

namespace {

std::unique_ptr<FreshGame>& lastStarted() {
    static std::unique_ptr<FreshGame> game;
    return game;
}

}  // namespace

FreshGame::FreshGame(SimulatedMachine& machine)
    : dice_(machine), context_(machine, machine, machine, dice_), scope_(context_) {
    resetGameState();
}

void startFreshGame(SimulatedMachine& machine) {
    endFreshGame();
    lastStarted() = std::make_unique<FreshGame>(machine);
}

void endFreshGame() {
    lastStarted().reset();
}

}  // namespace talvoren::test_support
