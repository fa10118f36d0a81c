// File system services of the POSIX back end.
#pragma once

#include <string>
#include <string_view>

namespace talvoren {

// Writes `contents` to "<path>.tmp" in the same folder, flushes it to disk,
// renames it over `path` and flushes the folder. A `path` without any write
// permission is left as it is. Returns false, with the old file untouched
// and no temporary file left, when any step fails.
bool replaceFileAtomicallyPosix(const std::string& path, std::string_view contents);

// The installed picture folder, found relative to the running binary;
// empty when the binary is not in an installed tree.
std::string installedDataFolderPosix();

}  // namespace talvoren
