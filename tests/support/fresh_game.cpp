#include "fresh_game.h"

#include "rules/records.h"

namespace talvoren::test_support {

namespace {

std::unique_ptr<FreshGame>& lastStarted() {
    static std::unique_ptr<FreshGame> game;
    return game;
}

}  // namespace

FreshGame::FreshGame(Terminal& console, Clock& clock, Files& files)
    : console_(console), clock_(clock), files_(files), dice_(clock) {
    context_.emplace(console, clock, files, dice_);
    scope_.emplace(*context_);
    resetGameState();
}

void FreshGame::renewInput() {
    Dice& dice = context_->dice();
    scope_.reset();
    context_.emplace(console_, clock_, files_, dice);
    scope_.emplace(*context_);
}

void startFreshGame(Terminal& console, Clock& clock, Files& files) {
    endFreshGame();
    lastStarted() = std::make_unique<FreshGame>(console, clock, files);
}

void endFreshGame() {
    lastStarted().reset();
}

void renewInput() {
    if (lastStarted()) lastStarted()->renewInput();
}

}  // namespace talvoren::test_support
