// A fresh run of the game for tests and fuzz harnesses.
#pragma once

#include <memory>
#include <optional>

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

    GameContext& context() { return *context_; }
    // A fresh input and screen on the same machine, as if the console had been
    // opened anew: the records and the dice in use stay.
    void renewInput();

private:
    SimulatedMachine& machine_;
    CalendarDice dice_;
    std::optional<GameContext> context_;
    std::optional<GameScope> scope_;
};

// Starts a FreshGame on `machine` that lasts until the next call (or
// endFreshGame): the usual start of a test.
void startFreshGame(SimulatedMachine& machine);
// Ends the game that startFreshGame started, if any.
void endFreshGame();
// renewInput of the game that startFreshGame started: a step of a scene can
// read its input to the end, and the next step type more.
void renewInput();

}  // namespace talvoren::test_support
