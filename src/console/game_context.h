// Everything one run of the game plays with: its console, clock, files and
// dice, the input and screen state kept over them, and the game's own state.
// `main` builds one for the player; each test builds its own, so nothing
// carries over.
#pragma once

#include "console/input.h"
#include "console/screen.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "rules/dice.h"
#include "rules/records.h"

namespace talvoren {

class GameContext {
public:
    GameContext(Terminal& terminal, Clock& clock, Files& files, Dice& dice);
    GameContext(const GameContext&) = delete;
    GameContext& operator=(const GameContext&) = delete;

    Terminal& terminal;
    Clock& clock;
    Files& files;
    ScreenWriter screen;
    InputSource input;
    // The dice the fights roll, given for the context's whole life.
    Dice& dice;
    // The hero, the monster, the act's progress and the shell's flags, as a
    // new run finds them until the game changes them.
    GameState state;
};

// The context of the game being played. Only valid inside a GameScope.
GameContext& game();

// Plays the game on `context` for the scope's lifetime; the context in use
// before comes back when the scope ends.
class GameScope {
public:
    explicit GameScope(GameContext& context);
    ~GameScope();
    GameScope(const GameScope&) = delete;
    GameScope& operator=(const GameScope&) = delete;

private:
    GameContext* previous_;
};

}  // namespace talvoren
