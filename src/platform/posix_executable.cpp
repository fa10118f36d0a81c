// The POSIX back end's file system: the save's steps of posix_files.h, and
// where the running program and its installed pictures lie, asked of each
// system in its own way. (The browser has its own, with no program folder.)
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#if defined(__APPLE__)
#include <mach-o/dyld.h>

#include <vector>
#elif defined(__FreeBSD__) || defined(__DragonFly__)
#include <sys/sysctl.h>
#include <sys/types.h>
#endif

#include "platform/back_end.h"
#include "platform/posix_files.h"

namespace talvoren {

namespace {

// The program's own path, with links resolved; empty when unknown.
std::filesystem::path programPath() {
    std::error_code error;
#if defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> name(size + 1, '\0');
    if (_NSGetExecutablePath(name.data(), &size) != 0) return {};
    const std::filesystem::path found = std::filesystem::canonical(name.data(), error);
    return error ? std::filesystem::path() : found;
#elif defined(__FreeBSD__) || defined(__DragonFly__)
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PATHNAME, -1};
    char name[PATH_MAX] = {};
    std::size_t size = sizeof name;
    if (::sysctl(query, 4, name, &size, nullptr, 0) != 0) return {};
    return std::filesystem::path(name);
#elif defined(__linux__) || defined(__NetBSD__)
#if defined(__linux__)
    const char* self = "/proc/self/exe";
#else
    const char* self = "/proc/curproc/exe";
#endif
    const std::filesystem::path found = std::filesystem::read_symlink(self, error);
    return error ? std::filesystem::path() : found;
#else
    static_cast<void>(error);
    return {};  // no reliable way here: pictures come from the working folder
#endif
}

std::string executableFolderOf(const std::filesystem::path& program) {
    if (program.empty() || !program.is_absolute()) return {};
    return program.parent_path().lexically_normal().string();
}

class InstalledFileSystem final : public PosixFileSystem {
public:
    std::string executableFolder() override { return executableFolderOf(programPath()); }

    // Found relative to the running binary; empty when the binary is not in an installed tree.
    std::string dataFolder() override {
        const std::string binaryFolder = executableFolder();
        if (binaryFolder.empty()) return {};
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::path(binaryFolder) / TALVOREN_DATA_FROM_BINARY;
        if (!std::filesystem::is_directory(folder, error)) return {};
        return folder.lexically_normal().string();
    }
};

}  // namespace

FileSystem& backEndFileSystem() {
    static InstalledFileSystem system;
    return system;
}

}  // namespace talvoren
