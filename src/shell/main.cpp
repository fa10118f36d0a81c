#include "combat/calendar_dice.h"
#include "console/game_context.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "shell/shell.h"

int main() {
    using namespace talvoren;
    CalendarDice dice(nativeClock());
    GameContext context(nativeTerminal(), nativeClock(), nativeFiles(), dice);
    const GameScope scope(context);
    return runGame();
}
