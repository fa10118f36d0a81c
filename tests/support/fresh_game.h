// A fresh run of the game for tests and fuzz harnesses.
#pragma once

#include <memory>

#include "combat/calendar_dice.h"
#include "console/game_context.h"
#include "simulated_machine.h"

namespace talvoren::test_support {

// One run of the program on a simulated machine: the game records as a new
// run finds them, the machine's console, clock and files, its own input and
// screen, and the calendar dice of its clock. The game plays on it while it
// lives.
class FreshGame {
public:
    explicit FreshGame(SimulatedMachine& machine);
    FreshGame(const FreshGame&) = delete;
    FreshGame& operator=(const FreshGame&) = delete;

    GameContext& context() { return context_; }

private:
    CalendarDice dice_;
    GameContext context_;
    GameScope scope_;
};

// Starts a FreshGame on `machine` that lasts until the next call (or
// endFreshGame): the usual start of a test.
void startFreshGame(SimulatedMachine& machine);
// Ends the game that startFreshGame started, if any.
void endFreshGame();

}  // namespace talvoren::test_support
