#include "shell/command_line.h"

#include "console/shown_name.h"

namespace talvoren {

namespace {

constexpr std::string_view kUsage = "usage: talvoren [--help | --version]\n";

constexpr std::string_view kHelp =
    "Talvoren, a text role-playing game for the terminal.\n"
    "Started without options, it plays the game; its one save is save1.txt in the\n"
    "folder it is started from.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// An argument is echoed safely: controls never reach the terminal (7-bit
// ones, and 8-bit ones as the locale encodes them: the console is not set
// up yet) and a huge one is cut to a readable length.
std::string echoed(std::string_view argument) {
    constexpr std::size_t kLongest = 64;
    const TextEncoding encoding = encodingOfEnvironment();
    if (argument.size() <= kLongest) return shownName(argument, encoding);
    return shownName(argument.substr(0, kLongest), encoding) + "...";
}

CommandLine usageError(const std::string& complaint) {
    return {CommandLine::Action::UsageError, "talvoren: " + complaint + "\n" + std::string(kUsage), 2};
}

}  // namespace

CommandLine readCommandLine(std::span<const std::string_view> arguments) {
    if (arguments.empty()) return {};
    if (arguments.size() > 1) return usageError("unexpected argument '" + echoed(arguments[1]) + "'");
    const std::string_view option = arguments[0];
    if (option == "--version") return {CommandLine::Action::Answer, "talvoren " TALVOREN_VERSION "\n", 0};
    if (option == "--help") return {CommandLine::Action::Answer, std::string(kUsage) + std::string(kHelp), 0};
    return usageError("unknown option '" + echoed(option) + "'");
}

}  // namespace talvoren
