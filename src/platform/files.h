// The files the game reads and writes: its one save and its pictures.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace talvoren {

// How a save went: `saved`, or the system's own reason why not, such as
// "No space left on device" (never empty when not saved).
struct SaveOutcome {
    bool saved = false;
    std::string reason;
};

// A file open for reading; closed when destroyed.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    // Reads up to `capacity` bytes: returns the count, 0 at the end of the
    // file, or -1 when the read failed (the file may then have been cut short).
    virtual std::ptrdiff_t read(char* buffer, std::size_t capacity) = 0;
};

class Files {
public:
    virtual ~Files() = default;
    // Opens the regular file at `path` for reading; null when it is missing,
    // unreadable, a folder or anything else that is no plain file (a pipe
    // or a device is never waited on).
    virtual std::unique_ptr<ReadableFile> openForReading(const std::string& path) = 0;
    // Replaces the file at `path` by `contents` so that a crash leaves either
    // the old file or the new one; a symbolic link is followed and stays a
    // link. Where the folder refuses a new file but the file itself may be
    // written, the file is rewritten in place instead. A read-only file is
    // left as it is. On failure the old file is unchanged and no temporary
    // file is left; the outcome says why.
    virtual SaveOutcome replace(const std::string& path, std::string_view contents) = 0;
    // Folder of the installed picture files; empty when the game is not installed.
    virtual std::string dataFolder() { return {}; }
    // Folder of the running program; empty where the system cannot tell.
    virtual std::string executableFolder() { return {}; }
    // Line end of text files on this system.
    virtual std::string_view lineEnd() const { return "\n"; }
};

// The files of the machine the game was built for.
Files& nativeFiles();

}  // namespace talvoren
