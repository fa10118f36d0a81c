// File system services of the POSIX back end (also the browser's, whose
// files live in Emscripten's POSIX file system).
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"

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
    // Never waits on a pipe or a device: null for anything but a regular file.
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override;

private:
    LinkLookup lookup_;
};

}  // namespace talvoren
