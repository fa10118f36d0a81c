// Any bytes as standard input from the main menu on. The game runs twice on
// them: piped in at once, and typed by a person, one line a second, so the
// timing bar sees keys arrive while it fills, on a console whose width (1 to
// 97 columns, either way of wrapping) the game must fit every screen to.
// Either way the game must come back from runGame, leave the console as it
// found it, and keep the hero's values within what honest play can reach.
#include <cstdint>
#include <string>
#include <string_view>

#include "console/game_context.h"
#include "harness_support.h"
#include "persistence/save_file.h"
#include "rules/records.h"
#include "shell/shell.h"
#include "simulated_terminal.h"

namespace talvoren::fuzzing {
namespace {

constexpr std::int64_t kTypingGapMs = 1000;

// The only save this run can load is one it wrote itself, so the records can
// never leave the ranges that play produces.
void requireHonestRecords(const SimulatedTerminal& console) {
    const GameState& state = game().state;
    const Player& player = state.player;
    require(player.level >= 1, "the hero's level fell below 1", &console);
    require(player.gold >= 0 && player.experience >= 0 && player.skillPoints >= 0,
            "gold, experience or skill points went negative", &console);
    require(player.strength >= 5 && player.intelligence >= 5 && player.agility >= 5,
            "an attribute fell below its starting value", &console);
    require(player.health <= player.maxHealth, "the hero has more health than the ceiling", &console);
    require(player.minDamage <= player.maxDamage, "the hero's damage range is reversed", &console);
    require(state.actStage >= 1 && state.actStage <= 6, "the act stage left 1 to 6", &console);
    require(state.sceneStep >= 1 && state.sceneStep <= 3, "the scene step left 1 to 3", &console);
    require(state.questCounter >= 0, "the quest counter went negative", &console);
}

void play(std::string_view input, bool typedByPerson) {
    Machine machine;
    startFreshGame(machine);
    SimulatedTerminal& console = machine.console;
    if (typedByPerson) {
        console.setInteractive(true);
        console.setConsoleWidth(1 + static_cast<int>(input.size() % 97));
        console.setWrapsAtLastColumn(input.size() % 2 == 1);
        std::int64_t at = 0;
        while (!input.empty()) {
            const std::size_t end = input.find('\n');
            const std::size_t length = end == std::string_view::npos ? input.size() : end + 1;
            console.typeAt(at, input.substr(0, length));
            input.remove_prefix(length);
            at += kTypingGapMs;
        }
    } else {
        console.type(input);
    }
    const int status = runGame();
    requireCleanEnd(status, console);
    require(console.cursorVisible(), "the game ended with the cursor hidden", &console);
    requireHonestRecords(console);
}

}  // namespace
}  // namespace talvoren::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace talvoren::fuzzing;
    const ScratchFolderScope scratch;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The second run may load the save the first one left.
    removeSaveFile();
    play(input, false);
    play(input, true);
    removeSaveFile();
    return 0;
}
