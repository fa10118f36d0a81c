#include "harness_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "fresh_game.h"
#include "persistence/save_file.h"
#include "scratch_folder.h"

namespace talvoren::fuzzing {

namespace {

// Made on first use and removed, with the saves in it, when the process exits.
const std::filesystem::path& scratchFolder() {
    static const test_support::ScratchFolder folder("fuzz");
    static const bool pictures = (folder.addPictures(), true);
    (void)pictures;
    return folder.path();
}

}  // namespace

ScratchFolderScope::ScratchFolderScope() : previous_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(scratchFolder());
}

ScratchFolderScope::~ScratchFolderScope() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
}

void removeSaveFile() {
    std::error_code error;
    std::filesystem::remove(kSaveFileName, error);
    std::filesystem::remove(std::string(kSaveFileName) + ".tmp", error);
}

void writeSaveFile(std::string_view contents) {
    removeSaveFile();
    std::ofstream out(kSaveFileName, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    require(static_cast<bool>(out.flush()), "the save file could not be written");
}

bool readSaveFile(std::string& contents) {
    std::ifstream in(kSaveFileName, std::ios::binary);
    if (!in) return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void startFreshGame(Machine& machine) {
    machine.console.setBudget({kReadBudget, kVirtualTimeBudgetMs, kTranscriptBudget});
    test_support::startFreshGame(machine.console, machine.clock, machine.files);
}

void require(bool holds, const char* what, const SimulatedTerminal* console) {
    if (holds) return;
    std::fprintf(stderr, "talvoren fuzz: %s\n", what);
    if (console != nullptr) {
        const std::string& text = console->transcript();
        const std::size_t shown = std::min<std::size_t>(text.size(), 2000);
        std::fprintf(stderr, "--- end of the transcript ---\n%s\n---\n",
                     text.substr(text.size() - shown).c_str());
    }
    std::abort();
}

bool sameHero(const Player& a, const Player& b) {
    return a.name == b.name && a.level == b.level && a.health == b.health && a.maxHealth == b.maxHealth &&
           a.lastHit == b.lastHit && a.minDamage == b.minDamage && a.maxDamage == b.maxDamage &&
           a.strength == b.strength && a.intelligence == b.intelligence && a.agility == b.agility &&
           a.gold == b.gold && a.experience == b.experience && a.experienceToNext == b.experienceToNext &&
           a.experienceStep == b.experienceStep && a.skillPoints == b.skillPoints;
}

bool sameProgress(const Progress& a, const Progress& b) {
    return a.actStage == b.actStage && a.sceneStep == b.sceneStep && a.questCounter == b.questCounter;
}

void requireWellFormedSave(std::string_view contents) {
    std::size_t lineNumber = 1;
    while (true) {
        const std::size_t end = contents.find('\n');
        const std::string_view line = contents.substr(0, end);
        if (lineNumber == 1) {
            require(line == kSaveHeader, "a save does not start with its header");
        } else if (lineNumber >= 3) {
            // Plain decimal: what the number reads back as prints as the line itself.
            require(std::to_string(parseSaveNumber(line)) == line,
                    "a save holds a number not in plain decimal");
        }
        if (end == std::string_view::npos) break;
        contents.remove_prefix(end + 1);
        ++lineNumber;
    }
    require(lineNumber == kSaveLineCount, "a save does not have 14 lines with no line end after the last");
}

void requireCleanEnd(int status, const SimulatedTerminal& console, const std::string* saveBefore) {
    require(status == 0, "the game ended with a status other than 0", &console);
    require(!console.inKeyMode(), "the game ended with the console still in key mode", &console);
    require(console.colour() == TextColour::Default,
            "the game ended in a colour other than the console's own", &console);
    std::string saved;
    if (readSaveFile(saved) && (saveBefore == nullptr || saved != *saveBefore)) requireWellFormedSave(saved);
}

}  // namespace talvoren::fuzzing
