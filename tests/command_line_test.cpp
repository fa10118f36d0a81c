// What `talvoren` answers on its command line, before any game starts.
#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace talvoren {
namespace {

CommandLine run(std::vector<std::string_view> arguments) {
    return readCommandLine(arguments);
}

// No arguments plays the game; --version and --help answer on standard
// output with status 0.
TEST(CommandLine, PlayOrAnswer) {
    struct Case {
        std::vector<std::string_view> arguments;
        CommandLine::Action action;
        std::string text;
    };
    const Case cases[] = {
        {{}, CommandLine::Action::Play, ""},
        {{"--version"}, CommandLine::Action::Answer, "talvoren 0.1.0\n"},
        {{"--help"},
         CommandLine::Action::Answer,
         "usage: talvoren [--help | --version]\n"
         "Talvoren, a text role-playing game for the terminal.\n"
         "Started without options, it plays the game; its one save is save1.txt in the\n"
         "folder it is started from.\n"
         "\n"
         "  --help     show this help and exit\n"
         "  --version  show the version and exit\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.text);
        const CommandLine command = run(each.arguments);
        EXPECT_EQ(command.action, each.action);
        EXPECT_EQ(command.text, each.text);
        EXPECT_EQ(command.status, 0);
    }
}

TEST(CommandLine, AnythingElseIsAUsageErrorWithStatusTwo) {
    const std::string usage = "usage: talvoren [--help | --version]\n";
    const std::string longArgument(100'000, 'x');
    struct Case {
        std::vector<std::string_view> arguments;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "talvoren: unknown option '--bogus'\n"},
        {{"-"}, "talvoren: unknown option '-'\n"},
        {{""}, "talvoren: unknown option ''\n"},
        {{"-V"}, "talvoren: unknown option '-V'\n"},
        {{"--version", "extra"}, "talvoren: unexpected argument 'extra'\n"},
        {{"--help", "--version"}, "talvoren: unexpected argument '--version'\n"},
        // Control bytes are shown as "?", so the echo cannot drive the terminal.
        {{"--\x1b]0;owned\x07"}, "talvoren: unknown option '--?]0;owned?'\n"},
        // So is a one-byte CSI, whatever the locale.
        {{"--\x9b"
          "31m"},
         "talvoren: unknown option '--?31m'\n"},
        // A huge argument is echoed cut short.
        {{longArgument}, "talvoren: unknown option '" + std::string(64, 'x') + "...'\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.expected);
        const CommandLine command = run(each.arguments);
        EXPECT_EQ(command.action, CommandLine::Action::UsageError);
        EXPECT_EQ(command.status, 2);
        EXPECT_EQ(command.text, each.expected + usage);
    }
}

}  // namespace
}  // namespace talvoren
