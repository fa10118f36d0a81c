#include "platform/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace talvoren {

namespace {

bool writeWhole(int fd, std::string_view contents) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, left);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += done;
        left -= static_cast<std::size_t>(done);
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

}  // namespace

bool replaceFileAtomicallyPosix(const std::string& path, std::string_view contents) {
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) return false;
        // Without any write permission the old save stays, as a plain write would leave it.
        if ((existing.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return false;
        mode = existing.st_mode & 07777;
    }
    const std::string temporary = path + ".tmp";
    // A temporary left by an earlier crash may be read-only; it must not block saving.
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool written = writeWhole(fd, contents) && ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolderOf(path);
    return true;
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
