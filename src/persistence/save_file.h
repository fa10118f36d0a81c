// The save file "save1.txt": 14 lines, one value a line, the last one with
// no line end. The format functions are pure; saveGame and loadGame do the I/O.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "rules/records.h"

namespace talvoren {

inline constexpr const char* kSaveFileName = "save1.txt";
inline constexpr std::string_view kSaveHeader = "Act 1";
inline constexpr std::size_t kSaveLineCount = 14;
// A line longer than this keeps only its first part (a save is never this long).
inline constexpr std::size_t kSaveLineLimit = 1 << 20;

// The whole file for this hero and progress, lines joined by `lineEnd`.
std::string formatSave(const Player& hero, const Progress& progress, std::string_view lineEnd);

// A number line read like atoi: leading white space, an optional sign, then
// digits up to the first other character; no digits gives 0. Saturates at
// the 32-bit limits instead of overflowing.
std::int32_t parseSaveNumber(std::string_view line);

// Stores lines 2 to 14 (CR LF or LF already split off) into the holding
// records; line 1 is only compared. Returns true when line 1 is the header.
bool applySaveLines(const std::vector<std::string>& lines, Player& hero, Progress& progress);

// Splits file contents into at most 14 lines, dropping the line ends and a
// CR before them.
std::vector<std::string> splitSaveLines(std::string_view contents);

// Writes the live hero and progress to "save1.txt" and prints nothing; a
// failed write leaves the old file whole and says why.
SaveOutcome writeSaveFile();
// "Unable to save the game to save1.txt: " and the reason of a failed save.
std::string saveFailureLine(const SaveOutcome& outcome);
// writeSaveFile, silent when it saves; a failure prints its line and waits
// for Enter, and play goes on.
void saveGame();
// Reads "save1.txt" into loadedPlayer and loadedProgress; a save of Act 1
// sets currentScreen to 99. Prints "Unable to open file", and changes
// nothing, when the file cannot be opened or read to its end.
void loadGame();

}  // namespace talvoren
