#include "platform/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace talvoren {

// Saves of any size are measured whole (the build asks glibc for 64 bits).
static_assert(sizeof(off_t) >= 8, "file sizes need a 64-bit off_t");

namespace {

constexpr int kMostLinks = 40;  // as many as the kernel follows in one path

SaveOutcome savedOutcome() {
    return {true, {}};
}

SaveOutcome failedOutcome(int error) {
    return {false, std::strerror(error)};
}

bool writeWholeAt(int fd, std::string_view contents, off_t offset) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t done = ::pwrite(fd, data, left, offset);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += done;
        offset += done;
        left -= static_cast<std::size_t>(done);
    }
    return true;
}

bool readWholeAt(int fd, std::string& into, off_t offset) {
    std::size_t filled = 0;
    while (filled < into.size()) {
        const ssize_t got = ::pread(fd, into.data() + filled, into.size() - filled, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;  // the file shrank under us
            return false;
        }
        filled += static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

void syncFolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Replaces `path` by the file a chain of symbolic links ends at; that file
// need not exist yet. Returns 0, or ELOOP for a chain without end.
int followLinks(std::string& path) {
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        std::string target(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)) + 256, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return 0;
        target.resize(static_cast<std::size_t>(length));
        const std::filesystem::path next(target);
        path = next.is_absolute() ? target : (std::filesystem::path(path).parent_path() / next).string();
    }
    return ELOOP;
}

// Creates a file of a fresh hidden name beside `target` (".save1.txt.x7Kq2m"),
// never one that exists already. Returns its descriptor, or -1 with errno.
int createBeside(const std::string& target, mode_t mode, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::uint64_t counter = 0;
    const std::filesystem::path where(target);
    std::string hidden = ".";  // appended, not added up: g++ 12 -O2 takes "." + name for an overlap
    hidden.append(where.filename().string()).append(".");
    const std::string stem = (where.parent_path() / hidden).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t mix =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (static_cast<std::uint64_t>(::getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ULL);
        mix ^= mix >> 29;
        mix *= 0xBF58476D1CE4E5B9ULL;
        mix ^= mix >> 32;
        name = stem;
        for (int letter = 0; letter < 6; ++letter, mix /= 62) name += kLetters[mix % 62];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes a new file beside `target` and renames it over `target`.
// Returns 0 or the errno of the step that failed, after removing the new file.
int replaceByRename(const std::string& target, std::string_view contents, const struct stat* existing) {
    // A new save gets the usual mode (the umask applies); a replaced one keeps its own.
    std::string temporary;
    const int fd = createBeside(target, existing != nullptr ? (existing->st_mode & 0777) : 0666, temporary);
    if (fd < 0) return errno;
    if (existing != nullptr) {
        // Best effort: some file systems keep no modes or owners.
        ::fchmod(fd, existing->st_mode & 07777);
        if (::fchown(fd, existing->st_uid, existing->st_gid) != 0) errno = 0;
    }
    int error = 0;
    if (!writeWholeAt(fd, contents, 0) || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    syncFolderOf(target);
    return 0;
}

// Overwrites the file from its start without emptying it first, so that a
// write failing part way can put the old bytes back into blocks the file
// already owns. Returns 0 or the errno of the step that failed.
int rewriteInPlace(const std::string& target, std::string_view contents) {
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISREG(info.st_mode) ? errno : EINVAL;
        ::close(fd);
        return error;
    }
    // Kept as the file's own 64-bit size: a 32-bit size_t would cut a file
    // past 4 GiB short when a failed write puts its old length back.
    const auto oldSize = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    const auto newSize = static_cast<std::uint64_t>(contents.size());
    std::string old(static_cast<std::size_t>(std::min(oldSize, newSize)), '\0');
    int error = 0;
    if (!readWholeAt(fd, old, 0)) {
        error = errno;
    } else if (!writeWholeAt(fd, contents, 0) ||
               (newSize < oldSize && ::ftruncate(fd, static_cast<off_t>(newSize)) != 0) || ::fsync(fd) != 0) {
        error = errno;
        writeWholeAt(fd, old, 0);
        if (::ftruncate(fd, static_cast<off_t>(oldSize)) == 0) ::fsync(fd);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

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

SaveOutcome replaceFileAtomicallyPosix(const std::string& path, std::string_view contents) {
    std::string target = path;
    if (const int error = followLinks(target); error != 0) return failedOutcome(error);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) return failedOutcome(EISDIR);
        if (!S_ISREG(existing.st_mode)) return {false, "Not a regular file"};
        // A save made read-only stays as it is, as a plain write would leave it.
        if ((existing.st_mode & 0222) == 0) return failedOutcome(EACCES);
        if (::access(target.c_str(), W_OK) != 0) return failedOutcome(errno);
    }
    int error = replaceByRename(target, contents, exists ? &existing : nullptr);
    if (error == 0) return savedOutcome();
    // A folder closed to new files may still hold a save the player can write.
    if (exists && (error == EACCES || error == EPERM)) {
        const int inPlace = rewriteInPlace(target, contents);
        if (inPlace == 0) return savedOutcome();
        error = inPlace;
    }
    return failedOutcome(error);
}

std::unique_ptr<ReadableFile> openForReadingPosix(const std::string& path) {
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

std::string installedDataFolderPosix() {
#ifdef TALVOREN_DATA_FROM_BINARY
    std::error_code error;
    const std::filesystem::path binary = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path folder = binary.parent_path() / TALVOREN_DATA_FROM_BINARY;
    if (!std::filesystem::is_directory(folder, error)) return {};
    return folder.lexically_normal().string();
#else
    return {};
#endif
}

}  // namespace talvoren
