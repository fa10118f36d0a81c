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

namespace talvoren {

// Narrow text of the game to a wide string; empty when it does not convert.
std::wstring widenText(std::string_view text, UINT codePage);

// Writes `contents` to a temporary file beside `path`, flushes it to disk and
// moves it over `path`. A read-only `path` is left as it is. Returns false,
// with the old file untouched and no temporary file left, when any step fails.
bool replaceFileAtomicallyWindows(const std::string& path, std::string_view contents);

// The installed picture folder relative to talvoren.exe, or the executable's
// own folder (a game unpacked from an archive); empty when neither is known.
std::string installedDataFolderWindows();

}  // namespace talvoren
