// How the game replaces its save, written once over the file system steps of
// file_system.h, so that every system saves by the same rules.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/files.h"

namespace talvoren {

// Replaces the file at `path` by `contents`, as Files::replace promises:
// symbolic links are followed (a link stays a link), but in a folder open to
// others only a link of the player's or of the folder's owner; a read-only
// file, a folder or anything but a regular file is refused, and so is another
// user's file in a folder open to others; the bytes go to a locked hidden
// file of a fresh name beside the file, marked with the player's id
// (".save1.txt.tvtmp-1000-x7Kq2m"),
// which is flushed and renamed over it, and the folder is flushed. Where the
// folder refuses the new file or the rename but the file may be written, it is
// rewritten in place, its old bytes put back if that fails; the file so
// written is opened without following a link and must be the very file that
// was checked (a link or another file swapped in since fails the save with
// FileProblem::changed), and no larger than 16 MiB. Only permission bits are
// copied to a new file, never set-user-ID, set-group-ID or sticky. On failure
// the old file is unchanged and no temporary file is left; the outcome gives
// the system's reason. A save that succeeds removes the player's temporary
// files that crashed games left beside it, never one that a running game
// holds nor another user's, spending at most about 100 ms on them and
// going on at the next save.
SaveOutcome replaceFile(FileSystem& system, const std::string& path, std::string_view contents);

// True when `name` is a temporary file of the game's for the save `saveName`
// made by the player whose id is `playerId`, or by a game that put no id in
// the mark (whose owner must then be asked).
bool isTemporaryFileOf(std::string_view name, std::string_view saveName, std::string_view playerId);

}  // namespace talvoren
