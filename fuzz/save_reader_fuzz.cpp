// Any bytes as "save1.txt": the reader's pure pieces are checked against
// plain references, loadGame against the pure pieces, and then a whole game
// is loaded from the file and played through a fixed round of answers.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "console/game_context.h"
#include "harness_support.h"
#include "persistence/save_file.h"
#include "rules/arithmetic.h"
#include "rules/records.h"
#include "shell/shell.h"
#include "simulated_terminal.h"

namespace talvoren::fuzzing {
namespace {

// Load Game, then answers that reach every scene menu's choices: heal, the
// character sheet with skill points spent, fights won at once, fled and
// fought with the bar, saves, the gates, and at last the way out.
constexpr std::string_view kAnswers =
    "4\n"
    "10\n11\n1\n1\n2\n3\n99\n"
    "2\n3\n1\n2\n3\n99\n"
    "\n1\n\n6142\n\n"
    "1\n\n\n99\n"
    "1\n\n\n1\n \n\n2\n \n\n99\n"
    "98\n4\n2\n\n\n\n\n\n"
    "3\n\n6142\n\n98\n"
    "2\n\n6142\n\n4\n"
    "99\n99\n";

// atoi as the C library does it, with the result held to 32 bits.
std::int32_t referenceNumber(std::string_view line) {
    const std::string text(line);  // strtoll stops at a NUL as the reader stops at any non-digit
    return clampToInt32(std::strtoll(text.c_str(), nullptr, 10));
}

// Every line is the file's own text, in order, with only a line end (and a
// CR before it, or at the very end) between lines; short of 14 lines, the
// whole file was used.
void checkSplit(std::string_view bytes, const std::vector<std::string>& lines) {
    require(lines.size() <= kSaveLineCount, "the file gave more than 14 lines");
    std::string_view rest = bytes;
    for (const std::string& line : lines) {
        require(line.find('\n') == std::string::npos, "a line holds a line end");
        require(line.size() <= kSaveLineLimit, "a line is longer than the limit");
        require(rest.substr(0, line.size()) == line, "a line is not the file's own text");
        rest.remove_prefix(line.size());
        if (line.size() == kSaveLineLimit) rest.remove_prefix(std::min(rest.find('\n'), rest.size()));
        if (!rest.empty() && rest.front() == '\r' && (rest.size() == 1 || rest[1] == '\n')) {
            rest.remove_prefix(1);
        }
        if (rest.empty()) continue;
        require(rest.front() == '\n', "a line ends before its line end");
        rest.remove_prefix(1);
    }
    if (lines.size() < kSaveLineCount) require(rest.empty(), "the file was not read to its end");
}

void checkNumbers(std::string_view bytes, const std::vector<std::string>& lines) {
    require(parseSaveNumber(bytes) == referenceNumber(bytes), "a number reads other than atoi reads it");
    for (const std::string& line : lines) {
        require(parseSaveNumber(line) == referenceNumber(line), "a number reads other than atoi reads it");
    }
}

// What was read, saved again, reads back the same, with either line end.
void checkRoundTrip(const std::vector<std::string>& lines) {
    Player hero;
    Progress progress;
    applySaveLines(lines, hero, progress);
    for (const std::string_view lineEnd : {std::string_view("\n"), std::string_view("\r\n")}) {
        // A name ending in CR loses that CR behind a bare LF; nothing else may be lost.
        if (lineEnd == "\n" && !hero.name.empty() && hero.name.back() == '\r') continue;
        const std::string text = formatSave(hero, progress, lineEnd);
        if (lineEnd == "\n") requireWellFormedSave(text);
        Player again;
        Progress progressAgain;
        require(applySaveLines(splitSaveLines(text), again, progressAgain), "a save lost its header");
        require(sameHero(hero, again) && sameProgress(progress, progressAgain),
                "a save does not read back as it was written");
    }
}

// loadGame reads the real file into the holding records exactly as the pure
// pieces read the same bytes; it prints nothing for a save it continues, and
// for any other file says so and waits for Enter.
void checkLoadGame(std::string_view bytes, const std::vector<std::string>& lines) {
    Machine machine;
    startFreshGame(machine);
    SimulatedTerminal& console = machine.console;
    writeSaveFile(bytes);
    console.type("\n");
    loadGame();
    Player hero;
    Progress progress;
    const bool isActOne = applySaveLines(lines, hero, progress);
    require(isActOne == (!lines.empty() && lines[0] == kSaveHeader), "the header check is wrong");
    require(sameHero(game().state.loadedPlayer, hero) && sameProgress(game().state.loadedProgress, progress),
            "loadGame read other values than the file holds", &console);
    require((game().state.currentScreen == 99) == isActOne, "loadGame chose the wrong screen", &console);
    const std::string said =
        isActOne ? "" : "save1.txt holds no saved game that can be continued\nPress ENTER to continue...\n> ";
    require(console.transcript() == said, "loadGame said the wrong thing of a file it could open", &console);
}

void playLoadedGame(std::string_view bytes) {
    Machine machine;
    startFreshGame(machine);
    SimulatedTerminal& console = machine.console;
    writeSaveFile(bytes);
    const std::string before(bytes);
    console.type(kAnswers);
    const int status = runGame();
    requireCleanEnd(status, console, &before);
}

}  // namespace
}  // namespace talvoren::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace talvoren::fuzzing;
    const ScratchFolderScope scratch;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = talvoren::splitSaveLines(bytes);
    checkSplit(bytes, lines);
    checkNumbers(bytes, lines);
    checkRoundTrip(lines);
    checkLoadGame(bytes, lines);
    playLoadedGame(bytes);
    removeSaveFile();
    return 0;
}
