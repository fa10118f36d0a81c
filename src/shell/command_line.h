// The program's arguments, read before the console is touched: none plays
// the game; `--version` and `--help` answer and end; anything else is a
// usage error.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace talvoren {

struct CommandLine {
    enum class Action { Play, Answer, UsageError };
    Action action = Action::Play;
    // What to print: to standard output for an answer, to standard error
    // for a usage error; empty when playing.
    std::string text;
    // The exit status after printing: 0 for an answer, 2 for a usage error.
    int status = 0;
};

// Reads the arguments that follow the program's name.
CommandLine readCommandLine(std::span<const std::string_view> arguments);

}  // namespace talvoren
