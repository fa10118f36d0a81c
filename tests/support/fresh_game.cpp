#include "fresh_game.h"

#include <utility>

namespace talvoren::test_support {

namespace {

std::unique_ptr<FreshGame>& lastStarted() {
    static std::unique_ptr<FreshGame> game;
    return game;
}

}  // namespace

FreshGame::FreshGame(Terminal& console, Clock& clock, Files& files, Dice* dice)
    : console_(console),
      clock_(clock),
      files_(files),
      calendarDice_(clock),
      dice_(dice != nullptr ? *dice : calendarDice_) {
    context_.emplace(console, clock, files, dice_);
    scope_.emplace(*context_);
}

void FreshGame::renewInput() {
    GameState state = std::move(context_->state);
    scope_.reset();
    context_.emplace(console_, clock_, files_, dice_);
    context_->state = std::move(state);
    scope_.emplace(*context_);
}

void startFreshGame(Terminal& console, Clock& clock, Files& files, Dice* dice) {
    endFreshGame();
    lastStarted() = std::make_unique<FreshGame>(console, clock, files, dice);
}

void endFreshGame() {
    lastStarted().reset();
}

void renewInput() {
    if (lastStarted()) lastStarted()->renewInput();
}

}  // namespace talvoren::test_support
