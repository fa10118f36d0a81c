// A fresh run of the game for tests and fuzz harnesses.
#pragma once

#include <memory>
#include <optional>

#include "combat/calendar_dice.h"
#include "console/game_context.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"

namespace talvoren::test_support {

// One run of the program on a console, clock and files (the tests' fakes):
// the game records as a new run finds them, its own input and screen, and
// the calendar dice of the clock. The game plays on it while it lives.
class FreshGame {
public:
    FreshGame(Terminal& console, Clock& clock, Files& files);
    FreshGame(const FreshGame&) = delete;
    FreshGame& operator=(const FreshGame&) = delete;

    GameContext& context() { return *context_; }
    // A fresh input and screen on the same console, as if the console had been
    // opened anew: the records and the dice in use stay.
    void renewInput();

private:
    Terminal& console_;
    Clock& clock_;
    Files& files_;
    CalendarDice dice_;
    std::optional<GameContext> context_;
    std::optional<GameScope> scope_;
};

// Starts a FreshGame on these fakes that lasts until the next call (or
// endFreshGame): the usual start of a test.
void startFreshGame(Terminal& console, Clock& clock, Files& files);
// Ends the game that startFreshGame started, if any.
void endFreshGame();
// renewInput of the game that startFreshGame started: a step of a scene can
// read its input to the end, and the next step type more.
void renewInput();

}  // namespace talvoren::test_support
