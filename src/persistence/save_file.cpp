#include "persistence/save_file.h"

#include <algorithm>
#include <array>
#include <memory>

#include "character/arithmetic.h"
#include "console/text_kit.h"
#include "platform/platform.h"

namespace talvoren {

std::string formatSave(const Player& hero, const Progress& progress, std::string_view lineEnd) {
    const std::int32_t numbers[] = {
        hero.level,       hero.intelligence,  hero.strength,       hero.agility,
        hero.gold,        hero.experience,    hero.experienceStep, hero.experienceToNext,
        hero.skillPoints, progress.sceneStep, progress.actStage,
    };
    std::string text(kSaveHeader);
    text += lineEnd;
    text += hero.name;
    text += lineEnd;
    for (const std::int32_t number : numbers) {
        text += std::to_string(number);
        text += lineEnd;
    }
    text += std::to_string(progress.questCounter);
    return text;
}

std::int32_t parseSaveNumber(std::string_view line) {
    std::size_t at = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (at < line.size() && isSpace(line[at])) ++at;
    bool negative = false;
    if (at < line.size() && (line[at] == '+' || line[at] == '-')) {
        negative = line[at] == '-';
        ++at;
    }
    std::int64_t value = 0;
    constexpr std::int64_t beyond = std::int64_t{1} << 32;  // past every 32-bit value
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
        if (value < beyond) value = value * 10 + (line[at] - '0');
    }
    return clampToInt32(negative ? -value : value);
}

std::vector<std::string> splitSaveLines(std::string_view contents) {
    std::vector<std::string> lines;
    while (!contents.empty() && lines.size() < kSaveLineCount) {
        const std::size_t end = contents.find('\n');
        std::string_view line = contents.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line.substr(0, kSaveLineLimit));
        if (end == std::string_view::npos) break;
        contents.remove_prefix(end + 1);
    }
    return lines;
}

bool applySaveLines(const std::vector<std::string>& lines, Player& hero, Progress& progress) {
    std::int32_t* const numberFields[] = {
        &hero.level,       &hero.intelligence,  &hero.strength,       &hero.agility,
        &hero.gold,        &hero.experience,    &hero.experienceStep, &hero.experienceToNext,
        &hero.skillPoints, &progress.sceneStep, &progress.actStage,   &progress.questCounter,
    };
    bool isActOne = false;
    for (std::size_t index = 0; index < lines.size() && index < kSaveLineCount; ++index) {
        if (index == 0) {
            isActOne = lines[0] == kSaveHeader;
        } else if (index == 1) {
            hero.name = lines[1];
        } else {
            *numberFields[index - 2] = parseSaveNumber(lines[index]);
        }
    }
    return isActOne;
}

SaveOutcome writeSaveFile() {
    const Progress progress{actStage, sceneStep, questCounter};
    SaveOutcome outcome = platform().replaceFileAtomically(
        kSaveFileName, formatSave(player, progress, platform().textLineEnd()));
    if (!outcome.saved && outcome.reason.empty()) outcome.reason = "Unknown error";
    return outcome;
}

std::string saveFailureLine(const SaveOutcome& outcome) {
    return std::string("Unable to save the game to ") + kSaveFileName + ": " + outcome.reason;
}

void saveGame() {
    const SaveOutcome outcome = writeSaveFile();
    if (outcome.saved) return;
    printLine(saveFailureLine(outcome));
    pauseForEnter();
}

namespace {

// Reads no more than a save can hold: 14 lines, each cut short a little past
// the line limit (splitSaveLines cuts it exactly), so a huge file costs little.
// False when the file cannot be opened or a read fails part way.
bool readSaveFile(std::string& contents) {
    const std::unique_ptr<ReadableFile> file = platform().openForReading(kSaveFileName);
    if (!file) return false;
    std::array<char, 64 * 1024> block{};
    std::size_t lineEnds = 0;
    std::size_t lineLength = 0;
    while (lineEnds < kSaveLineCount) {
        const std::ptrdiff_t got = file->read(block.data(), block.size());
        if (got < 0) return false;
        if (got == 0) break;
        for (std::string_view rest(block.data(), static_cast<std::size_t>(got));
             !rest.empty() && lineEnds < kSaveLineCount;) {
            const std::size_t end = rest.find('\n');
            const std::string_view part = rest.substr(0, end);
            const std::size_t room = kSaveLineLimit + 1 - std::min(lineLength, kSaveLineLimit + 1);
            contents.append(part.substr(0, room));
            // Counted no further than the limit: a 32-bit count would wrap
            // on a line of 4 GiB and let more of it in.
            lineLength = std::min(lineLength + part.size(), kSaveLineLimit + 1);
            if (end == std::string_view::npos) break;
            contents.push_back('\n');
            ++lineEnds;
            lineLength = 0;
            rest.remove_prefix(end + 1);
        }
    }
    return true;
}

}  // namespace

void loadGame() {
    std::string contents;
    if (!readSaveFile(contents)) {
        printLine("Unable to open file");
        return;
    }
    if (applySaveLines(splitSaveLines(contents), loadedPlayer, loadedProgress)) currentScreen = 99;
}

}  // namespace talvoren
