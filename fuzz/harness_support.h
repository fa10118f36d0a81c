// What the fuzz harnesses share: a scratch folder per process, a fresh game
// on the simulated console for every input, and the checks that turn a
// wrong result into a crash the fuzzer keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/records.h"
#include "simulated_files.h"
#include "simulated_terminal.h"

namespace talvoren::fuzzing {

// Limits that stop every run, however the input goes: input ends after this
// many reads or this much virtual time, and the transcript stays small.
inline constexpr std::size_t kReadBudget = 200'000;
inline constexpr std::int64_t kVirtualTimeBudgetMs = 48LL * 60 * 60 * 1000;
inline constexpr std::size_t kTranscriptBudget = 64 * 1024;

// Runs one input in a folder of the process's own, made on first use with
// the four monster pictures in it and removed when the process exits, and
// goes back to the folder it came from afterwards, so that the fuzzer's
// relative paths keep working between inputs. (A crash leaves the process in
// the scratch folder: give the fuzzer an absolute -artifact_prefix.)
class ScratchFolderScope {
public:
    ScratchFolderScope();
    ~ScratchFolderScope();
    ScratchFolderScope(const ScratchFolderScope&) = delete;
    ScratchFolderScope& operator=(const ScratchFolderScope&) = delete;

private:
    std::string previous_;
};
// Removes the save file (and a left-over temporary) of the previous input.
void removeSaveFile();
void writeSaveFile(std::string_view contents);
// The save file's bytes, or nothing when there is no save file.
bool readSaveFile(std::string& contents);

// The simulated console, clock and files that one input is played on.
struct Machine {
    Machine() = default;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    SimulatedClock clock;
    SimulatedTerminal console{clock};
    SimulatedFiles files;
};

// Puts the game back to a fresh start on `machine`, with the budget set.
void startFreshGame(Machine& machine);

// Stops the process with `what` (and the end of the transcript, when given)
// when `holds` is false: the fuzzer keeps the input that got here.
void require(bool holds, const char* what, const SimulatedTerminal* console = nullptr);

bool sameHero(const Player& a, const Player& b);
bool sameProgress(const Progress& a, const Progress& b);

// A save the game wrote: 14 lines, the header, a name line, and twelve
// numbers in plain decimal, the last one with no line end after it.
void requireWellFormedSave(std::string_view contents);

// After runGame: it returned 0, and the console is out of key mode and back
// to bright white; a save the game wrote is well formed. `saveBefore` is the
// save file the run started with, if any: the same bytes afterwards are taken
// as not written by the game.
void requireCleanEnd(int status, const SimulatedTerminal& console, const std::string* saveBefore = nullptr);

}  // namespace talvoren::fuzzing
