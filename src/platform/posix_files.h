// File system services of the POSIX back end.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace talvoren {

// Follows symbolic links at `path`, then writes `contents` to a hidden file
// of a fresh name in the final file's folder, flushes it to disk, renames it
// over the file and flushes the folder. When the folder refuses a new file
// or the rename, but the file itself may be written, the file is overwritten
// in place and flushed instead. A file without any write permission is left
// as it is, even for root. On failure the old file is unchanged, no temporary
// file is left and the outcome gives the system's reason.
SaveOutcome replaceFileAtomicallyPosix(const std::string& path, std::string_view contents);

// Opens a regular file for reading without waiting on pipes or devices;
// null for anything else or when it cannot be opened.
std::unique_ptr<ReadableFile> openForReadingPosix(const std::string& path);

// The installed picture folder, found relative to the running binary;
// empty when the binary is not in an installed tree.
std::string installedDataFolderPosix();

// The folder of the running binary; empty where the system cannot tell.
std::string executableFolderPosix();

}  // namespace talvoren
