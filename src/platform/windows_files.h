// File system services of the Windows back end.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/files.h"

namespace talvoren {

// Narrow text of the game to a wide string; empty when it does not convert.
std::wstring widenText(std::string_view text, UINT codePage);

// Follows a symbolic link at `path` to the file it names, writes `contents`
// to a file of a fresh name in that file's folder, flushes it to disk and
// moves it over the file (MoveFileExW). Where the folder refuses the new file
// or the move, the file itself is rewritten in place and flushed. A read-only
// file is left as it is, and so is a link whose file does not exist (Windows
// gives no way to follow it without reading the link's raw data). On failure
// the old file is unchanged, no temporary file is left and the outcome gives
// the system's reason in the console's code page.
SaveOutcome replaceFileAtomicallyWindows(const std::string& path, std::string_view contents);

// The installed picture folder at its fixed path from talvoren.exe (by
// default talvoren.exe's own folder); empty when there is no such folder.
std::string installedDataFolderWindows();

// The folder of talvoren.exe; empty when unknown.
std::string executableFolderWindows();

}  // namespace talvoren
