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

TEST(CommandLine, NoArgumentsPlaysTheGame) {
    const CommandLine command = run({});
    EXPECT_EQ(command.action, CommandLine::Action::Play);
    EXPECT_EQ(command.text, "");
}

TEST(CommandLine, VersionAndHelpAnswerOnStandardOutputWithStatusZero) {
    const CommandLine version = run({"--version"});
    EXPECT_EQ(version.action, CommandLine::Action::Answer);
    EXPECT_EQ(version.text, "talvoren 0.1.0\n");
    EXPECT_EQ(version.status, 0);

    const CommandLine help = run({"--help"});
    EXPECT_EQ(help.action, CommandLine::Action::Answer);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.text.rfind("usage: talvoren [--help | --version]\n", 0), 0u) << help.text;
    EXPECT_NE(help.text.find("  --help     show this help and exit\n"), std::string::npos);
    EXPECT_NE(help.text.find("  --version  show the version and exit\n"), std::string::npos);
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
