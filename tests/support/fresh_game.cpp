#include "fresh_game.h"

#include "rules/records.h"

namespace talvoren::test_support {

namespace {

std::unique_ptr<FreshGame>& lastStarted() {
    static std::unique_ptr<FreshGame> game;
    return game;
}

}  // namespace

FreshGame::FreshGame(SimulatedMachine& machine) : machine_(machine), dice_(machine) {
    context_.emplace(machine, machine, machine, dice_);
    scope_.emplace(*context_);
    resetGameState();
}

void FreshGame::renewInput() {
    Dice& dice = context_->dice();
    scope_.reset();
    context_.emplace(machine_, machine_, machine_, dice);
    scope_.emplace(*context_);
}

void startFreshGame(SimulatedMachine& machine) {
    endFreshGame();
    lastStarted() = std::make_unique<FreshGame>(machine);
}

void endFreshGame() {
    lastStarted().reset();
}

void renewInput() {
    if (lastStarted()) lastStarted()->renewInput();
}

}  // namespace talvoren::test_support
