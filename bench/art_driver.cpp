// Shows one picture file on standard output with the game's picture display,
// on the real platform, and nothing else: `art_driver FILE`.
#include <cstdio>
#include <string>

#include "combat/calendar_dice.h"
#include "console/art_file.h"
#include "console/game_context.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: art_driver FILE\n", stderr);
        return 2;
    }
    using namespace talvoren;
    CalendarDice dice(nativeClock());
    GameContext context(nativeTerminal(), nativeClock(), nativeFiles(), dice);
    const GameScope scope(context);
    printArtFile(argv[1]);
    context.screen.flush();
    return 0;
}
