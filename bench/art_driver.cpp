// Streams one file of any size on standard output with the game's picture
// display, on the real platform, and nothing else: `art_driver FILE`. The
// game itself shows no picture past its bound; the stream beneath is what is
// measured here.
#include <cstdio>
#include <memory>
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
    const std::unique_ptr<ReadableFile> file = nativeFiles().openForReading(argv[1]);
    if (!file) {
        std::fputs("art_driver: cannot open the file\n", stderr);
        return 1;
    }
    streamPicture(*file);
    context.screen.flush();
    return 0;
}
