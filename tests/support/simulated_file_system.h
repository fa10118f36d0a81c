// A file system in memory for the save's tests, the same on every system
// the suite runs on: folders, files, symbolic links and pipes with owners
// and POSIX mode bits (the sticky bit too), users whom permissions stop or
// not (root), and the locks of other running games.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace talvoren {

class SimulatedFileSystem final : public FileSystem {
public:
    // "/" and "/home" of root (0755), "/tmp" open to all (01777) and the
    // player's "/home/player" (0755), which is the working folder. The game
    // runs as "player"; new files get the umask 022.
    SimulatedFileSystem();

    // Making things as a test needs them; the folders on the way must exist,
    // and a name already there now names the new thing.
    void addFolder(const std::string& path, const std::string& owner, unsigned mode);
    void addFile(const std::string& path, std::string_view contents, const std::string& owner = "player",
                 unsigned mode = 0644);
    void addLink(const std::string& path, const std::string& target, const std::string& owner = "player");
    void addPipe(const std::string& path);
    void setMode(const std::string& path, unsigned mode);
    // Another program renames `from` over `to`, or gives the file `target` the second name `path`.
    void rename(const std::string& from, const std::string& to);
    void addHardLink(const std::string& path, const std::string& target);
    // Another running game holds the file's lock, as while it writes it.
    void holdLock(const std::string& path);
    // The game runs as `user`; "root" passes every permission check.
    void runAs(std::string user) { user_ = std::move(user); }
    // The save counts only once a store of its own holds it (as in the browser).
    void keepSeparateStore() { separateStore_ = true; }
    // Each removal of a leftover takes `milliseconds` of the disk's clock, as
    // on a slow or busy disk; the clock stands still otherwise.
    void slowRemovals(std::int64_t milliseconds) { removalMs_ = milliseconds; }

    // The bytes of the regular file at `path` (no link followed), or nothing.
    std::optional<std::string> contents(const std::string& path) const;
    bool isLink(const std::string& path) const;
    unsigned mode(const std::string& path) const;
    std::string owner(const std::string& path) const;
    // The names in a folder, sorted, each followed by a space.
    std::string listing(const std::string& folder) const;
    // Files the game holds open now.
    int openFiles() const { return openFiles_; }

    FileError openFolder(const std::string& path, std::unique_ptr<Folder>& folder) override;
    void splitPath(const std::string& path, std::string& folder, std::string& name) const override;
    std::string joinPath(const std::string& folder, const std::string& target) const override;
    bool isPlayer(const std::string& owner) const override { return owner == user_; }
    std::string playerId() const override { return user_; }
    std::int64_t steadyMs() override { return clockMs_; }
    std::uint64_t freshNumber() override { return ++drawn_; }
    std::string reasonText(const FileError& error) const override;
    bool hasSeparateStore() const override { return separateStore_; }
    // Follows links; null for anything but a regular file the player may read.
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override;

private:
    friend class SimulatedFolder;
    friend class SimulatedFile;
    struct Node {
        EntryKind kind;
        std::string bytes;  // a file's contents or a link's target
        unsigned mode;
        std::string owner;
        std::uint64_t id;
        bool lockedByGame = false;   // this game holds its lock
        bool lockedByOther = false;  // another running game does
    };

    std::string absolute(const std::string& path) const;
    // The folder at `path`, every link on the way followed; its absolute path in `resolved`.
    FileError resolveFolder(const std::string& path, std::string& resolved) const;
    Node* find(const std::string& absolutePath);
    const Node* find(const std::string& absolutePath) const;
    Node& add(const std::string& path, EntryKind kind, const std::string& owner, unsigned mode);
    bool isRoot() const { return user_ == "root"; }
    bool allows(const Node& node, unsigned ownerBit, unsigned othersBit) const;
    // Whether the game may add, rename or remove `name` in `folder` (write
    // permission, and in a sticky folder ownership of the file or the folder).
    FileError mayChange(const std::string& folder, const Node* entry) const;
    EntryInfo infoOf(const Node& node) const;

    std::map<std::uint64_t, Node> nodes_;
    std::map<std::string, std::uint64_t> names_;  // absolute path to node
    std::string user_ = "player";
    std::uint64_t nextId_ = 1;
    std::uint64_t drawn_ = 0;
    int openFiles_ = 0;
    std::int64_t clockMs_ = 0;
    std::int64_t removalMs_ = 0;
    bool separateStore_ = false;
};

}  // namespace talvoren
