// File system services of the Windows back end: the open files, paths, the
// system's reasons, reading and the installed picture folder. The player's
// identity and files' owners are in windows_identity.cpp, the folder the save
// works in and its links in windows_folder.cpp.
#include "platform/windows_files.h"  // brings <windows.h>, lean and without min/max

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/back_end.h"
#include "platform/windows_file_steps.h"

namespace talvoren {

namespace windows {

std::string narrowPath(const std::wstring& wide) {
    if (wide.empty() || wide.size() > 0x7fffffffU) return {};
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, &lossy);
    if (needed <= 0 || lossy != FALSE) return {};
    std::string narrow(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, wide.data(), size, narrow.data(), needed, nullptr, &lossy) !=
            needed ||
        lossy != FALSE) {
        return {};
    }
    return narrow;
}

FileError errorOf(DWORD code) {
    const auto number = static_cast<std::int64_t>(code);
    switch (code) {
        case ERROR_ACCESS_DENIED: return {FileProblem::accessDenied, number};
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return {FileProblem::exists, number};
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return {FileProblem::missing, number};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return {FileProblem::busy, number};
        case ERROR_CANT_RESOLVE_FILENAME: return {FileProblem::tooManyLinks, number};
        default: return {FileProblem::other, number};
    }
}

FileError lastError() {
    return errorOf(::GetLastError());
}

FileError unless(bool failed) {
    return failed ? lastError() : FileError{};
}

EntryInfo entryOf(const BY_HANDLE_FILE_INFORMATION& data) {
    EntryInfo info;
    info.kind =
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder : EntryKind::regular;
    info.writable = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
    info.permissions = info.writable ? 0666 : 0444;
    info.device = data.dwVolumeSerialNumber;
    info.file = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return info;
}

bool isNameSurrogate(HANDLE file, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) == 0 ||
           IsReparseTagNameSurrogate(tag.ReparseTag);
}

}  // namespace windows

using windows::entryOf;
using windows::errorOf;
using windows::isNameSurrogate;
using windows::lastError;
using windows::narrowPath;
using windows::unless;

namespace {

bool moveTo(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER where{};
    where.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, where, nullptr, FILE_BEGIN) != 0;
}

class WindowsOpenFile final : public OpenFile {
public:
    explicit WindowsOpenFile(HANDLE file) : file_(file) {}
    ~WindowsOpenFile() override { close(); }
    WindowsOpenFile(const WindowsOpenFile&) = delete;
    WindowsOpenFile& operator=(const WindowsOpenFile&) = delete;

    FileError writeAt(std::uint64_t offset, std::string_view bytes) override {
        if (!moveTo(file_, offset)) return lastError();
        const char* data = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(left, 1U << 20));
            DWORD done = 0;
            if (::WriteFile(file_, data, piece, &done, nullptr) == 0) return lastError();
            if (done == 0) return errorOf(ERROR_WRITE_FAULT);
            data += done;
            left -= done;
        }
        return {};
    }

    FileError readAt(std::uint64_t offset, std::string& into) override {
        if (!moveTo(file_, offset)) return lastError();
        std::size_t filled = 0;
        while (filled < into.size()) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(into.size() - filled, 1U << 20));
            DWORD got = 0;
            if (::ReadFile(file_, into.data() + filled, piece, &got, nullptr) == 0) return lastError();
            if (got == 0) return errorOf(ERROR_HANDLE_EOF);
            filled += got;
        }
        return {};
    }

    FileError truncate(std::uint64_t size) override {
        return unless(!moveTo(file_, size) || ::SetEndOfFile(file_) == 0);
    }

    FileError sync() override { return unless(::FlushFileBuffers(file_) == 0); }

    // What the handle holds, whatever its name holds now.
    FileError describe(EntryInfo& info) override {
        BY_HANDLE_FILE_INFORMATION data{};
        if (::GetFileInformationByHandle(file_, &data) == 0) return lastError();
        info = entryOf(data);
        if (isNameSurrogate(file_, data.dwFileAttributes)) {
            info.kind = EntryKind::link;
        } else if (::GetFileType(file_) != FILE_TYPE_DISK) {
            info.kind = EntryKind::other;
        }
        return {};
    }

    // A new file takes the folder's inherited permissions, as a saved file always has.
    FileError copyModeAndOwner(const EntryInfo&) override { return {}; }

    FileError close() override {
        if (file_ == INVALID_HANDLE_VALUE) return {};
        const BOOL closed = ::CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        return unless(closed == 0);
    }

private:
    HANDLE file_;
};

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::wstring executableFolderWide() {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const auto size = static_cast<DWORD>(name.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), size);
        if (length == 0) return {};
        if (length < size) {
            std::wstring folder(name.data(), length);
            const std::size_t slash = folder.find_last_of(L"\\/");
            if (slash == std::wstring::npos) return {};
            folder.resize(slash);
            return folder;
        }
        if (name.size() >= 32768) return {};  // longer than any Windows path
        name.resize(name.size() * 2);
    }
}

}  // namespace

std::unique_ptr<OpenFile> windows::makeOpenFile(HANDLE file) {
    return std::make_unique<WindowsOpenFile>(file);
}

void WindowsFileSystem::splitPath(const std::string& path, std::string& folder, std::string& name) const {
    const auto separator = std::find_if(path.rbegin(), path.rend(), isSeparator);
    if (separator == path.rend()) {
        folder.clear();
        name = path;
        return;
    }
    const auto at = static_cast<std::size_t>(path.rend() - separator - 1);
    folder = path.substr(0, at);
    // "C:\save1.txt" and "\save1.txt" lie in a root, which keeps its separator.
    if (folder.empty() || folder.back() == ':') folder = path.substr(0, at + 1);
    name = path.substr(at + 1);
}

std::string WindowsFileSystem::joinPath(const std::string& folder, const std::string& target) const {
    const bool absolute =
        (!target.empty() && isSeparator(target[0])) || (target.size() >= 2 && target[1] == ':');
    if (absolute || folder.empty()) return target;
    return isSeparator(folder.back()) ? folder + target : folder + "\\" + target;
}

std::int64_t WindowsFileSystem::steadyMs() {
    return static_cast<std::int64_t>(::GetTickCount64());
}

std::uint64_t WindowsFileSystem::freshNumber() {
    static std::uint64_t counter = 0;
    LARGE_INTEGER ticks{};
    ::QueryPerformanceCounter(&ticks);
    return ::GetTickCount64() ^ (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 20) ^
           static_cast<std::uint64_t>(ticks.QuadPart) ^ (++counter * 0x9E3779B97F4A7C15ULL);
}

// The system's own words for the error, without the closing full stop and
// line end, in the code page the console shows.
std::string WindowsFileSystem::reasonText(const FileError& error) const {
    auto code = static_cast<DWORD>(error.code);
    if (error.code == 0) {
        switch (error.problem) {
            case FileProblem::exists: code = ERROR_FILE_EXISTS; break;
            case FileProblem::missing: code = ERROR_FILE_NOT_FOUND; break;
            case FileProblem::tooManyLinks: code = ERROR_CANT_RESOLVE_FILENAME; break;
            case FileProblem::busy: code = ERROR_SHARING_VIOLATION; break;
            case FileProblem::tooLarge: code = ERROR_FILE_TOO_LARGE; break;
            case FileProblem::changed: return std::string(kChangedFileReason);
            case FileProblem::other: code = ERROR_GEN_FAILURE; break;
            default:
                code = ERROR_ACCESS_DENIED;
                break;  // read-only, a folder, no plain file, a link not followed
        }
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
    if (text != nullptr) ::LocalFree(text);
    while (!wide.empty() &&
           (wide.back() == L'.' || wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
        wide.pop_back();
    }
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0) codePage = CP_ACP;
    std::string reason;
    if (!wide.empty() && wide.size() < 0x10000U) {
        const int size = static_cast<int>(wide.size());
        const int needed =
            ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
        if (needed > 0) {
            reason.assign(static_cast<std::size_t>(needed), '\0');
            if (::WideCharToMultiByte(codePage, 0, wide.data(), size, reason.data(), needed, nullptr,
                                      nullptr) != needed) {
                reason.clear();
            }
        }
    }
    if (reason.empty()) reason = "Windows error " + std::to_string(code);
    return reason;
}

namespace {

class WindowsReadableFile final : public ReadableFile {
public:
    explicit WindowsReadableFile(HANDLE file) : file_(file) {}
    ~WindowsReadableFile() override { ::CloseHandle(file_); }
    WindowsReadableFile(const WindowsReadableFile&) = delete;
    WindowsReadableFile& operator=(const WindowsReadableFile&) = delete;

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(capacity, 1U << 20));
        DWORD got = 0;
        if (::ReadFile(file_, buffer, piece, &got, nullptr) == 0) return -1;
        return static_cast<std::ptrdiff_t>(got);
    }

private:
    HANDLE file_;
};

}  // namespace

std::unique_ptr<ReadableFile> WindowsFileSystem::openForReading(const std::string& path) {
    const std::wstring wide = widenText(path, CP_ACP);
    if (wide.empty()) return nullptr;
    const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION data{};
    if (::GetFileType(file) != FILE_TYPE_DISK || ::GetFileInformationByHandle(file, &data) == 0 ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::CloseHandle(file);
        return nullptr;
    }
    return std::make_unique<WindowsReadableFile>(file);
}

// The pictures of an installed game lie at a fixed path from the
// executable's folder (a game unpacked from an archive keeps them beside
// talvoren.exe), so the game finds them from any working folder.
std::string WindowsFileSystem::dataFolder() {
    const std::wstring binaryFolder = executableFolderWide();
    if (binaryFolder.empty()) return {};
#ifdef TALVOREN_DATA_FROM_BINARY
    const std::wstring installed = binaryFolder + L"\\" + widenText(TALVOREN_DATA_FROM_BINARY, CP_UTF8);
    const DWORD attributes = ::GetFileAttributesW(installed.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return narrowPath(installed);
    }
#endif
    return {};
}

std::string WindowsFileSystem::executableFolder() {
    return narrowPath(executableFolderWide());
}

FileSystem& backEndFileSystem() {
    static WindowsFileSystem system;
    return system;
}

}  // namespace talvoren
