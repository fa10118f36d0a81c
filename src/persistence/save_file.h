// The save file "save1.txt" on disk: its format (rules/save_format.h) read
// from and written to the game's files.
#pragma once

#include <string>

#include "platform/files.h"
#include "rules/records.h"
#include "rules/save_format.h"

namespace talvoren {

inline constexpr const char* kSaveFileName = "save1.txt";

// Writes `hero` and `progress` to "save1.txt" and prints nothing; a failed
// write leaves the old file whole and says why.
SaveOutcome writeSaveFile(const Player& hero, const Progress& progress);
// "Unable to save the game to save1.txt: " and the reason of a failed save.
std::string saveFailureLine(const SaveOutcome& outcome);
// writeSaveFile, silent when it saves; a failure prints its line and waits
// for Enter, and play goes on.
void saveGame(const Player& hero, const Progress& progress);
// Reads "save1.txt" into the game state's loadedPlayer and loadedProgress; a
// save of Act 1 sets its currentScreen to Screen::ActForLoadedGame. When the file cannot be
// opened or read to its end, prints "Unable to open file" and changes
// nothing; when it holds no game that can be continued (as a file whose 14
// lines do not end within 16 MiB holds none), says so. Either
// failure then waits for Enter. The file itself is never changed.
void loadGame();

}  // namespace talvoren
