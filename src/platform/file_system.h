// The file system steps a save is made of, one small primitive each, so that
// the save's rules (save_policy.h) are written once over every system's own
// calls, and the few other things the game asks of a system's files. Each
// back end implements them; the tests have a fake that can make any step fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace talvoren {

// What went wrong, in the terms the save decides by.
enum class FileProblem {
    none,
    accessDenied,  // permissions refuse it (EACCES, EPERM, Windows' access denied)
    exists,        // the name is taken
    missing,       // no such file or folder
    folder,        // a folder where a file was wanted
    notRegular,    // a pipe, a device or anything else that is no plain file
    tooManyLinks,  // a chain of symbolic links without end
    busy,          // another program holds it (its lock or its sharing mode)
    changed,       // the name came to hold another file between two steps of the save
    tooLarge,      // larger than any file the save keeps a copy of
    other,
};

// A failed step: the problem, and the system's own number for it (errno,
// GetLastError) so that the reason can be given in the system's words; 0
// when the game itself found the problem.
struct FileError {
    FileProblem problem = FileProblem::none;
    std::int64_t code = 0;
    explicit operator bool() const { return problem != FileProblem::none; }
};

// The game's own words for FileProblem::changed, which no system names.
inline constexpr std::string_view kChangedFileReason = "The file was replaced during the save";

enum class EntryKind { missing, regular, folder, link, other };

// What a name in a folder is, without following a symbolic link.
struct EntryInfo {
    EntryKind kind = EntryKind::missing;
    bool writable = false;     // some write permission is set (no read-only attribute on Windows)
    unsigned permissions = 0;  // the POSIX mode bits (07777); the usual 0666 where there are none
    std::string owner;         // user id or SID as text; empty when the system cannot tell
    std::string group;         // likewise
    std::uint64_t device = 0;  // with `file`, the file's identity (device and inode,
    std::uint64_t file = 0;    // or volume serial and file index)
    std::uint64_t size = 0;
    std::string target;  // a link's text, read from the same handle as its owner
};

// Who may change the links in a folder. A folder open to others is one where
// users besides its owner may add names: a sticky, world-writable folder such
// as /tmp, or any folder with group or world write permission; where a
// system cannot tell, every folder counts as open to others.
struct FolderInfo {
    std::string owner;  // empty when the system cannot tell
    bool openToOthers = true;
};

// A file the save holds open; closed (and its lock let go) when destroyed.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    // Writes all of `bytes` at `offset`; an error may leave part of them written.
    virtual FileError writeAt(std::uint64_t offset, std::string_view bytes) = 0;
    // Fills all of `into` from `offset`; a file that ends first is an error.
    virtual FileError readAt(std::uint64_t offset, std::string& into) = 0;
    virtual FileError truncate(std::uint64_t size) = 0;
    // Flushes the file's bytes to the disk.
    virtual FileError sync() = 0;
    virtual FileError describe(EntryInfo& info) = 0;
    // Gives the file the permission bits (0777, never set-user-ID, set-group-ID
    // or sticky) and owner of `original` where the system keeps them and
    // allows it (best effort).
    virtual FileError copyModeAndOwner(const EntryInfo& original) = 0;
    // Closes the file; the system may only now report a failed write.
    virtual FileError close() = 0;
};

class FileSystem;

// An open folder; names are single path components looked up in it.
class Folder {
public:
    virtual ~Folder() = default;
    // What `name` is, without following a symbolic link. The name is looked
    // up once: a link's owner and its target come from that one lookup, so
    // another link swapped in meanwhile cannot lend its target to the
    // owner that was checked (`changed` where a system can only notice it).
    virtual FileError look(const std::string& name, EntryInfo& info) = 0;
    virtual FileError describe(FolderInfo& info) = 0;
    // Whether the player may write the file `name` (access(2), or on Windows
    // the file opened for writing without following a link); a check only,
    // since the name may change after it.
    virtual FileError mayWrite(const std::string& name) = 0;
    // Creates the new file `name` with `permissions` (the umask applies) and
    // holds its lock (flock, or a sharing mode that keeps other programs
    // out) until it is closed; `exists` when the name is taken or the lock
    // went to another program first.
    virtual FileError createLocked(const std::string& name, unsigned permissions,
                                   std::unique_ptr<OpenFile>& file) = 0;
    // Opens the existing file `name` for reading and writing, or for reading
    // only, without following a symbolic link and without waiting on a pipe;
    // what was opened is told by OpenFile::describe, not by the name.
    virtual FileError openExisting(const std::string& name, bool forWriting,
                                   std::unique_ptr<OpenFile>& file) = 0;
    // Renames `from` over `to`, replacing it; the file may be held open.
    virtual FileError rename(const std::string& from, const std::string& to) = 0;
    virtual FileError remove(const std::string& name) = 0;
    // Flushes the folder's names to the disk.
    virtual FileError sync() = 0;
    // Calls `each` with every name in the folder that starts with `prefix`,
    // keeping none of them, so that a folder of a million names costs no
    // memory.
    virtual FileError list(std::string_view prefix, const std::function<void(std::string_view)>& each) = 0;
    // Removes the regular file `name` only if `owners` counts its owner as
    // the player (asked of the file opened, never opening another user's)
    // and its lock can be taken, so a file another running program holds
    // stays; `busy` when it is held, `accessDenied` when it is not the player's
    // or its owner cannot be told.
    virtual FileError removeIfUnheld(const std::string& name, const FileSystem& owners) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opens the folder at `path`; an empty path is the working folder.
    virtual FileError openFolder(const std::string& path, std::unique_ptr<Folder>& folder) = 0;
    // Splits `path` into its folder ("" for the working folder) and its last name.
    virtual void splitPath(const std::string& path, std::string& folder, std::string& name) const = 0;
    // The path a link's `target` names when the link lies in `folder`.
    virtual std::string joinPath(const std::string& folder, const std::string& target) const = 0;
    // True when `owner` (an EntryInfo owner) is the user running the game.
    virtual bool isPlayer(const std::string& owner) const = 0;
    // The player's id as it is put in the names of the game's temporary
    // files, so that each user finds his own without looking at others':
    // a user id or SID, never empty, with no path separator.
    virtual std::string playerId() const = 0;
    // A monotonic clock in milliseconds, which bounds how long a save spends
    // removing leftovers.
    virtual std::int64_t steadyMs() = 0;
    // A number that differs from call to call and from process to process.
    virtual std::uint64_t freshNumber() = 0;
    // The system's words for `error`, without a closing full stop.
    virtual std::string reasonText(const FileError& error) const = 0;
    // Where a save is kept somewhere else as well (the browser's IndexedDB),
    // it counts only once that store holds it too.
    virtual bool hasSeparateStore() const { return false; }
    // Copies the files into that store and waits for it.
    virtual FileError commitToStore() { return {}; }

    // Opens the regular file at `path` for reading, as Files::openForReading promises.
    virtual std::unique_ptr<ReadableFile> openForReading(const std::string& path) = 0;
    // Folder of the installed picture files; empty when the game is not installed.
    virtual std::string dataFolder() { return {}; }
    // Folder of the running program; empty where the system cannot tell.
    virtual std::string executableFolder() { return {}; }
    // Line end of text files on this system.
    virtual std::string_view lineEnd() const { return "\n"; }

    // Where the last clean-up of leftovers stopped when its time ran out, so
    // that the next save goes on from there; kept by the save's rules.
    std::string& leftoverSweepMark() { return sweepMark_; }

private:
    std::string sweepMark_;
};

// The file system of the machine the game was built for.
FileSystem& nativeFileSystem();

}  // namespace talvoren
