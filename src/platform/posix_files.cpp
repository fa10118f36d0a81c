#include "platform/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace talvoren {

// Saves of any size are measured whole (the build asks glibc for 64 bits).
static_assert(sizeof(off_t) >= 8, "file sizes need a 64-bit off_t");

namespace {

FileError errorOf(int code) {
    switch (code) {
        case EACCES:
        case EPERM: return {FileProblem::accessDenied, code};
        case EEXIST: return {FileProblem::exists, code};
        case ENOENT: return {FileProblem::missing, code};
        case EISDIR: return {FileProblem::folder, code};
        case ELOOP: return {FileProblem::tooManyLinks, code};
        case EWOULDBLOCK: return {FileProblem::busy, code};
        default: return {FileProblem::other, code};
    }
}

FileError lastError() {
    return errorOf(errno);
}

FileError unless(bool failed) {
    return failed ? lastError() : FileError{};
}

EntryInfo entryOf(const struct stat& status) {
    EntryInfo info;
    if (S_ISREG(status.st_mode)) {
        info.kind = EntryKind::regular;
    } else if (S_ISDIR(status.st_mode)) {
        info.kind = EntryKind::folder;
    } else if (S_ISLNK(status.st_mode)) {
        info.kind = EntryKind::link;
    } else {
        info.kind = EntryKind::other;
    }
    info.writable = (status.st_mode & 0222) != 0;
    info.permissions = static_cast<unsigned>(status.st_mode & 07777);
    info.owner = std::to_string(status.st_uid);
    info.group = std::to_string(status.st_gid);
    info.device = static_cast<std::uint64_t>(status.st_dev);
    info.file = static_cast<std::uint64_t>(status.st_ino);
    info.size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    return info;
}

template <typename Id>
bool parseId(const std::string& text, Id& id) {
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), id);
    return problem == std::errc() && end == text.data() + text.size();
}

class PosixOpenFile final : public OpenFile {
public:
    explicit PosixOpenFile(int fd) : fd_(fd) {}
    ~PosixOpenFile() override { close(); }
    PosixOpenFile(const PosixOpenFile&) = delete;
    PosixOpenFile& operator=(const PosixOpenFile&) = delete;

    int fd() const { return fd_; }

    FileError writeAt(std::uint64_t offset, std::string_view bytes) override {
        const char* data = bytes.data();
        std::size_t left = bytes.size();
        auto at = static_cast<off_t>(offset);
        while (left > 0) {
            const ssize_t done = ::pwrite(fd_, data, left, at);
            if (done < 0) {
                if (errno == EINTR) continue;
                return lastError();
            }
            data += done;
            at += done;
            left -= static_cast<std::size_t>(done);
        }
        return {};
    }

    FileError readAt(std::uint64_t offset, std::string& into) override {
        std::size_t filled = 0;
        auto at = static_cast<off_t>(offset);
        while (filled < into.size()) {
            const ssize_t got = ::pread(fd_, into.data() + filled, into.size() - filled, at);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return lastError();
            if (got == 0) return errorOf(EIO);  // the file shrank under us
            filled += static_cast<std::size_t>(got);
            at += got;
        }
        return {};
    }

    FileError truncate(std::uint64_t size) override {
        return unless(::ftruncate(fd_, static_cast<off_t>(size)) != 0);
    }
    FileError sync() override { return unless(::fsync(fd_) != 0); }

    FileError describe(EntryInfo& info) override {
        struct stat status {};
        if (::fstat(fd_, &status) != 0) return lastError();
        info = entryOf(status);
        return {};
    }

    FileError copyModeAndOwner(const EntryInfo& original) override {
        uid_t owner = 0;
        gid_t group = 0;
        if (::fchmod(fd_, static_cast<mode_t>(original.permissions & 0777)) != 0) return lastError();
        if (!parseId(original.owner, owner) || !parseId(original.group, group)) return errorOf(EINVAL);
        return unless(::fchown(fd_, owner, group) != 0);
    }

    FileError close() override {
        if (fd_ < 0) return {};
        const int result = ::close(fd_);
        fd_ = -1;
        return unless(result != 0);
    }

private:
    int fd_;
};

bool sameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// The same file, not changed since: a link renamed away and back, or
// replaced by another that got the same inode, has a new change time.
bool unchanged(const struct stat& one, const struct stat& other) {
#ifdef __APPLE__
    const struct timespec& first = one.st_ctimespec;
    const struct timespec& second = other.st_ctimespec;
#else
    const struct timespec& first = one.st_ctim;
    const struct timespec& second = other.st_ctim;
#endif
    return sameFile(one, other) && first.tv_sec == second.tv_sec && first.tv_nsec == second.tv_nsec &&
           one.st_uid == other.st_uid && one.st_mode == other.st_mode;
}

// The text of the link `name` in `folder`, or with an empty name of the link
// `folder` itself (a handle opened with O_PATH).
FileError readLinkAt(int folder, const char* name, std::string& target) {
    for (std::size_t capacity = 256; capacity <= 65536; capacity *= 4) {
        target.assign(capacity, '\0');
        const ssize_t length = ::readlinkat(folder, name, target.data(), capacity);
        if (length < 0) return lastError();
        if (static_cast<std::size_t>(length) < capacity) {
            target.resize(static_cast<std::size_t>(length));
            return {};
        }
    }
    return errorOf(ENAMETOOLONG);
}

class PosixFolder final : public Folder {
public:
    PosixFolder(int fd, PosixFileSystem::LinkLookup lookup) : fd_(fd), lookup_(lookup) {}
    ~PosixFolder() override { ::close(fd_); }
    PosixFolder(const PosixFolder&) = delete;
    PosixFolder& operator=(const PosixFolder&) = delete;

    FileError look(const std::string& name, EntryInfo& info) override {
        if (lookup_ == PosixFileSystem::LinkLookup::oneHandle) return lookThroughHandle(name, info);
        return lookTwice(name, info);
    }

    FileError describe(FolderInfo& info) override {
        struct stat status {};
        if (::fstat(fd_, &status) != 0) return lastError();
        info.owner = std::to_string(status.st_uid);
        // Sticky or not: in a folder where others may add names, their links may lead anywhere.
        info.openToOthers = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
        return {};
    }

    FileError mayWrite(const std::string& name) override {
        return unless(::faccessat(fd_, name.c_str(), W_OK, 0) != 0);
    }

    FileError createLocked(const std::string& name, unsigned permissions,
                           std::unique_ptr<OpenFile>& file) override {
        const int fd =
            ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW,
                     static_cast<mode_t>(permissions));
        if (fd < 0) return lastError();
        auto created = std::make_unique<PosixOpenFile>(fd);
        struct stat held {};
        if (::fstat(fd, &held) != 0) {
            const FileError error = lastError();
            ::unlinkat(fd_, name.c_str(), 0);
            return error;
        }
        // Until the lock is taken, another game's clean-up may see the new
        // file unheld and remove it; then it is given up for a fresh name.
        // Where the file system has no locks the save goes on without.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return giveUp(name, held);
        struct stat named {};
        if (::fstatat(fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(held, named)) {
            return errorOf(EEXIST);
        }
        file = std::move(created);
        return {};
    }

    FileError openExisting(const std::string& name, bool forWriting,
                           std::unique_ptr<OpenFile>& file) override {
        // Never waits on a pipe put in the save's place.
        const int fd =
            ::openat(fd_, name.c_str(),
                     (forWriting ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
        if (fd < 0) return lastError();
        file = std::make_unique<PosixOpenFile>(fd);
        return {};
    }

    FileError rename(const std::string& from, const std::string& to) override {
        return unless(::renameat(fd_, from.c_str(), fd_, to.c_str()) != 0);
    }

    FileError remove(const std::string& name) override {
        return unless(::unlinkat(fd_, name.c_str(), 0) != 0);
    }

    FileError sync() override { return unless(::fsync(fd_) != 0); }

    FileError list(std::string_view prefix, const std::function<void(std::string_view)>& each) override {
        const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return lastError();
        DIR* folder = ::fdopendir(fd);
        if (folder == nullptr) {
            const FileError error = lastError();
            ::close(fd);
            return error;
        }
        while (const dirent* entry = ::readdir(folder)) {
            const std::string_view name = entry->d_name;
            if (name.starts_with(prefix)) each(name);
        }
        ::closedir(folder);
        return {};
    }

    FileError removeIfUnheld(const std::string& name, const FileSystem& owners) override {
        // Another user's file is not even opened.
        struct stat seen {};
        if (::fstatat(fd_, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        if (!S_ISREG(seen.st_mode)) return {FileProblem::notRegular, 0};
        if (!owners.isPlayer(std::to_string(seen.st_uid))) return errorOf(EPERM);
        const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
        if (fd < 0) return lastError();
        PosixOpenFile held(fd);
        struct stat status {};
        if (::fstat(fd, &status) != 0) return lastError();
        if (!unchanged(seen, status)) return errorOf(ENOENT);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return lastError();
        // The lock is ours, but the name may have gone to a new file meanwhile.
        struct stat named {};
        if (::fstatat(fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        if (!sameFile(status, named)) return errorOf(ENOENT);
        return unless(::unlinkat(fd_, name.c_str(), 0) != 0);
    }

private:
    // One lookup of the name: the owner and the target come from the handle.
    // Where the system has no such handles, the name is looked at twice.
    FileError lookThroughHandle(const std::string& name, EntryInfo& info) const {
#if defined(O_PATH) && defined(__linux__)
        const int fd = ::openat(fd_, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return lastError();
        struct stat status {};
        FileError error = unless(::fstat(fd, &status) != 0);
        if (!error) info = entryOf(status);
        if (!error && S_ISLNK(status.st_mode)) error = readLinkAt(fd, "", info.target);
        ::close(fd);
        return error;
#else
        return lookTwice(name, info);
#endif
    }

    // Where no handle holds a link (O_PATH), the name is looked at before and
    // after its target is read: if it named another link, or the same one
    // changed, meanwhile, the owner checked may not be the target's.
    FileError lookTwice(const std::string& name, EntryInfo& info) const {
        struct stat before {};
        if (::fstatat(fd_, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        info = entryOf(before);
        if (!S_ISLNK(before.st_mode)) return {};
        if (const FileError error = readLinkAt(fd_, name.c_str(), info.target)) return error;
        struct stat after {};
        if (::fstatat(fd_, name.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0 || !unchanged(before, after)) {
            return {FileProblem::changed, 0};
        }
        return {};
    }

    // A new file whose lock went to someone else (another game's clean-up,
    // or anyone who may open it in a folder open to others) is removed again
    // while the name still holds it, so that no one can make the save leave
    // a file behind for every name it tries; "taken" sends the save on to a
    // fresh name.
    FileError giveUp(const std::string& name, const struct stat& held) const {
        struct stat named {};
        if (::fstatat(fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(held, named)) {
            ::unlinkat(fd_, name.c_str(), 0);
        }
        return errorOf(EEXIST);
    }

    int fd_;
    PosixFileSystem::LinkLookup lookup_;
};

}  // namespace

PosixFileSystem::PosixFileSystem(LinkLookup lookup) : lookup_(lookup) {
    // A write past a file size limit (ulimit -f) fails with EFBIG, which the
    // save reports and undoes, instead of killing the game part way.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

FileError PosixFileSystem::openFolder(const std::string& path, std::unique_ptr<Folder>& folder) {
    const char* where = path.empty() ? "." : path.c_str();
    int fd = ::open(where, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    // A folder the player may search and write but not list still takes a save.
    if (fd < 0 && errno == EACCES) fd = ::open(where, O_PATH | O_DIRECTORY | O_CLOEXEC);
#endif
    if (fd < 0) return lastError();
    folder = std::make_unique<PosixFolder>(fd, lookup_);
    return {};
}

void PosixFileSystem::splitPath(const std::string& path, std::string& folder, std::string& name) const {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder.clear();
        name = path;
        return;
    }
    folder = path.substr(0, slash == 0 ? 1 : slash);
    name = path.substr(slash + 1);
}

std::string PosixFileSystem::joinPath(const std::string& folder, const std::string& target) const {
    if (target.starts_with('/') || folder.empty()) return target;
    return folder.ends_with('/') ? folder + target : folder + "/" + target;
}

bool PosixFileSystem::isPlayer(const std::string& owner) const {
    return owner == std::to_string(::geteuid());
}

std::string PosixFileSystem::playerId() const {
    return std::to_string(::geteuid());
}

std::int64_t PosixFileSystem::steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t PosixFileSystem::freshNumber() {
    static std::uint64_t counter = 0;
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ULL);
}

std::string PosixFileSystem::reasonText(const FileError& error) const {
    if (error.code != 0) return std::strerror(static_cast<int>(error.code));
    switch (error.problem) {
        case FileProblem::accessDenied: return std::strerror(EACCES);
        case FileProblem::exists: return std::strerror(EEXIST);
        case FileProblem::missing: return std::strerror(ENOENT);
        case FileProblem::folder: return std::strerror(EISDIR);
        case FileProblem::notRegular: return "Not a regular file";
        case FileProblem::tooManyLinks: return std::strerror(ELOOP);
        case FileProblem::busy: return std::strerror(EWOULDBLOCK);
        case FileProblem::changed: return std::string(kChangedFileReason);
        case FileProblem::tooLarge: return std::strerror(EFBIG);
        default: return std::strerror(EIO);
    }
}

namespace {

class PosixFile final : public ReadableFile {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, capacity);
            if (got < 0 && errno == EINTR) continue;
            return got < 0 ? -1 : static_cast<std::ptrdiff_t>(got);
        }
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<ReadableFile> PosixFileSystem::openForReading(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
}

}  // namespace talvoren
