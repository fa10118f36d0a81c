// The save file's format: 14 lines, one value a line, the last one with no
// line end. Line 1 is the header, line 2 the hero's name, lines 3 to 14 the
// numbers in the order of saveNumbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records.h"

namespace talvoren {

inline constexpr std::string_view kSaveHeader = "Act 1";
inline constexpr std::size_t kSaveLineCount = 14;
// A line longer than this keeps only its first part (a save is never this long).
inline constexpr std::size_t kSaveLineLimit = 1 << 20;
// A file whose 14th line has not ended within this many bytes is no save, so
// that a huge file, even one of gigabytes with no line end, is read no further.
inline constexpr std::uint64_t kSaveReadLimit = 16 << 20;

// The fields of lines 3 to 14, in the file's order: the one table that both
// writing and reading follow. Pointers into `hero` and `progress`, const when
// they are.
template <typename HeroRecord, typename ProgressRecord>
constexpr auto saveNumbers(HeroRecord& hero, ProgressRecord& progress) {
    return std::array{
        &hero.level,       &hero.intelligence,  &hero.strength,       &hero.agility,
        &hero.gold,        &hero.experience,    &hero.experienceStep, &hero.experienceToNext,
        &hero.skillPoints, &progress.sceneStep, &progress.actStage,   &progress.questCounter,
    };
}

// The whole file for this hero and progress, lines joined by `lineEnd`.
std::string formatSave(const Player& hero, const Progress& progress, std::string_view lineEnd);

// A number line read like atoi: leading white space, an optional sign, then
// digits up to the first other character; no digits gives 0. Saturates at
// the 32-bit limits instead of overflowing.
std::int32_t parseSaveNumber(std::string_view line);

// True when a file split into these lines holds a game that Load Game can
// continue: its first line (line end and a CR before it dropped) is exactly
// the header. Anything else (empty, binary, another act, another letter
// case) cannot be continued.
bool canBeContinued(const std::vector<std::string>& lines);

// Stores lines 2 to 14 (CR LF or LF already split off) into the holding
// records; line 1 is only compared. Returns canBeContinued(lines).
bool applySaveLines(const std::vector<std::string>& lines, Player& hero, Progress& progress);

// Splits a save's contents into lines as they arrive, in pieces of any size:
// at most 14 lines, line ends and a CR before them dropped, each line cut to
// kSaveLineLimit. Keeps no more than that, however large the file, and takes
// no more than kSaveReadLimit bytes.
class SaveLineSplitter {
public:
    // Takes the next piece of the file.
    void add(std::string_view piece);
    // False once the 14th line has ended (the rest of the file is never
    // used), or once kSaveReadLimit bytes came without it.
    bool wantsMore() const { return !tooLong_ && lines_.size() < kSaveLineCount; }
    // The lines seen, the last one also when the file ended without a line
    // end; none at all when the file went past kSaveReadLimit bytes without
    // its 14th line ending, so that it cannot be continued.
    std::vector<std::string> finish();

private:
    void endLine();

    std::vector<std::string> lines_;
    std::string line_;         // the line being read, at most one byte past the limit
    bool lineBegun_ = false;   // bytes of a line not yet ended have arrived
    std::uint64_t taken_ = 0;  // bytes taken so far
    bool tooLong_ = false;     // past kSaveReadLimit without the 14th line ending
};

// The lines of a whole file's contents, as SaveLineSplitter gives them.
std::vector<std::string> splitSaveLines(std::string_view contents);

}  // namespace talvoren
