#include <cstdio>
#include <string_view>
#include <vector>

#include "combat/calendar_dice.h"
#include "console/game_context.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "shell/command_line.h"
#include "shell/shell.h"

int main(int argc, char** argv) {
    using namespace talvoren;
    // The arguments are answered before the console is set up, so an answer
    // draws no screen, changes no terminal mode and makes no save.
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    const CommandLine command = readCommandLine(arguments);
    if (command.action != CommandLine::Action::Play) {
        std::FILE* out = command.action == CommandLine::Action::Answer ? stdout : stderr;
        std::fwrite(command.text.data(), 1, command.text.size(), out);
        return std::fflush(out) == 0 ? command.status : 1;
    }
    CalendarDice dice(nativeClock());
    GameContext context(nativeTerminal(), nativeClock(), nativeFiles(), dice);
    const GameScope scope(context);
    return runGame();
}
