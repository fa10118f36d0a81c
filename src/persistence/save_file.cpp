#include "persistence/save_file.h"

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "console/game_context.h"
#include "console/text_kit.h"

namespace talvoren {

SaveOutcome writeSaveFile(const Player& hero, const Progress& progress) {
    SaveOutcome outcome =
        game().files.replace(kSaveFileName, formatSave(hero, progress, game().files.lineEnd()));
    if (!outcome.saved && outcome.reason.empty()) outcome.reason = "Unknown error";
    return outcome;
}

std::string saveFailureLine(const SaveOutcome& outcome) {
    return std::string("Unable to save the game to ") + kSaveFileName + ": " + outcome.reason;
}

void saveGame(const Player& hero, const Progress& progress) {
    const SaveOutcome outcome = writeSaveFile(hero, progress);
    if (outcome.saved) return;
    printLine(saveFailureLine(outcome));
    pauseForEnter();
}

namespace {

// Reads no more than a save can hold: the file's pieces go to the splitter
// only until its 14th line has ended, or until 16 MiB came without it (then
// there are no lines), so a huge file costs little. Nothing when the file
// cannot be opened or a read fails part way.
std::optional<std::vector<std::string>> readSaveLines() {
    const std::unique_ptr<ReadableFile> file = game().files.openForReading(kSaveFileName);
    if (!file) return std::nullopt;
    std::array<char, std::size_t{64} * 1024> block{};
    SaveLineSplitter splitter;
    while (splitter.wantsMore()) {
        const std::ptrdiff_t got = file->read(block.data(), block.size());
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        splitter.add(std::string_view(block.data(), static_cast<std::size_t>(got)));
    }
    return splitter.finish();
}

}  // namespace

void loadGame() {
    // The main menu clears the screen at once: a load that fails waits for
    // Enter, so that the player can read why nothing happened.
    const std::optional<std::vector<std::string>> lines = readSaveLines();
    if (!lines) {
        printLine("Unable to open file");
        pauseForEnter();
        return;
    }
    GameState& state = game().state;
    if (applySaveLines(*lines, state.loadedPlayer, state.loadedProgress)) {
        state.currentScreen = code(Screen::ActForLoadedGame);
        return;
    }
    printLine(std::string(kSaveFileName) + " holds no saved game that can be continued");
    pauseForEnter();
}

}  // namespace talvoren
