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
// `dice` (which must outlive it), or else the calendar dice of the clock.
// The game plays on it while it lives.
class FreshGame {
public:
    FreshGame(Terminal& console, Clock& clock, Files& files, Dice* dice = nullptr);
    FreshGame(const FreshGame&) = delete;
    FreshGame& operator=(const FreshGame&) = delete;

    GameContext& context() { return *context_; }
    // A fresh input and screen on the same console, as if the console had been
    // opened anew: the game state and the dice in use stay.
    void renewInput();

private:
    Terminal& console_;
    Clock& clock_;
    Files& files_;
    CalendarDice calendarDice_;
    Dice& dice_;
    std::optional<GameContext> context_;
    std::optional<GameScope> scope_;
};

// The state of the game being played: game().state, for short.
inline GameState& state() {
    return game().state;
}

// Starts a FreshGame on these fakes, rolling `dice` when given, that lasts
// until the next call (or endFreshGame): the usual start of a test. A test
// that scripts its fights starts on ScriptedDice of its own and may give
// that object a new script (by assigning to it) between fights.
void startFreshGame(Terminal& console, Clock& clock, Files& files, Dice* dice = nullptr);
// Ends the game that startFreshGame started, if any.
void endFreshGame();
// renewInput of the game that startFreshGame started: a step of a scene can
// read its input to the end, and the next step type more.
void renewInput();

}  // namespace talvoren::test_support
