#include "fresh_game.h"

#include <utility>

namespace talvoren::test_support {

namespace {

std::unique_ptr<FreshGame>& lastStarted() {
    static std::unique_ptr<FreshGame> game;
    return game;
}

}  // namespace

FreshGame::FreshGame(SimulatedMachine& machine, Dice* dice)
    : machine_(machine), calendarDice_(machine), dice_(dice != nullptr ? *dice : calendarDice_) {
    context_.emplace(machine, machine, machine, dice_);
    scope_.emplace(*context_);
}

void FreshGame::renewInput() {
    GameState state = std::move(context_->state);
    scope_.reset();
    context_.emplace(machine_, machine_, machine_, dice_);
    context_->state = std::move(state);
    scope_.emplace(*context_);
}

void startFreshGame(SimulatedMachine& machine, Dice* dice) {
    endFreshGame();
    lastStarted() = std::make_unique<FreshGame>(machine, dice);
}

void endFreshGame() {
    lastStarted().reset();
}

void renewInput() {
    if (lastStarted()) lastStarted()->renewInput();
}

}  // namespace talvoren::test_support
