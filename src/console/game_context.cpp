#include "console/game_context.h"

#include <cstdlib>

namespace talvoren {

namespace {

GameContext* current = nullptr;

}  // namespace

GameContext::GameContext(Terminal& terminalIn, Clock& clockIn, Files& filesIn, Dice& diceIn)
    : terminal(terminalIn),
      clock(clockIn),
      files(filesIn),
      screen(terminalIn),
      input(terminalIn, screen),
      dice(diceIn) {}

GameContext& game() {
    // A game routine called with no game to play on is a fault of the caller.
    if (current == nullptr) std::abort();
    return *current;
}

GameScope::GameScope(GameContext& context) : previous_(current) {
    current = &context;
}

GameScope::~GameScope() {
    current = previous_;
}

}  // namespace talvoren
