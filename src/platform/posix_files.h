// File system services of the POSIX back end (also the browser's, whose
// files live in Emscripten's POSIX file system).
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/files.h"

namespace talvoren {

// The save's steps over open, openat, fstatat, flock, renameat and fsync.
// Folders are held open and names looked up in them, so a name's folder
// cannot change between the steps of one save.
class PosixFileSystem : public FileSystem {
public:
    // How a link's owner and target are read as one: through one handle of
    // the link where the system has such handles (O_PATH on Linux), or else
    // by looking at the name before and after reading the target, which
    // tells a swap meanwhile (elsewhere, and in the browser).
    enum class LinkLookup { oneHandle, twoLooks };

    // Ignores SIGXFSZ for the whole process: a write past a file size limit
    // then fails with EFBIG ("File too large") instead of killing the game.
    explicit PosixFileSystem(LinkLookup lookup = LinkLookup::oneHandle);

    FileError openFolder(const std::string& path, std::unique_ptr<Folder>& folder) override;
    void splitPath(const std::string& path, std::string& folder, std::string& name) const override;
    std::string joinPath(const std::string& folder, const std::string& target) const override;
    // The effective user, whom the kernel checks links against.
    bool isPlayer(const std::string& owner) const override;
    // The effective user id.
    std::string playerId() const override;
    std::int64_t steadyMs() override;
    std::uint64_t freshNumber() override;
    // strerror's words; "Not a regular file" for a file that is none.
    std::string reasonText(const FileError& error) const override;

private:
    LinkLookup lookup_;
};

// Opens a regular file for reading without waiting on pipes or devices;
// null for anything else or when it cannot be opened.
std::unique_ptr<ReadableFile> openForReadingPosix(const std::string& path);

// The installed picture folder, found relative to the running binary;
// empty when the binary is not in an installed tree.
std::string installedDataFolderPosix();

// The folder of the running binary; empty where the system cannot tell.
std::string executableFolderPosix();

}  // namespace talvoren
