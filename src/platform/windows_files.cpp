// File system services of the Windows back end: the atomic save and the
// installed picture folder.
#include "platform/windows_files.h"  // brings <windows.h>, lean and without min/max

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace talvoren {

std::wstring widenText(std::string_view text, UINT codePage) {
    if (text.empty() || text.size() > 0x7fffffffU) return {};
    const int size = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), needed) !=
        needed) {
        return {};
    }
    return wide;
}

namespace {

// A wide path to the narrow code page the C library opens files with; empty
// when some character has no narrow form there.
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

constexpr int kNameAttempts = 16;

SaveOutcome savedOutcome() {
    return {true, {}};
}

// The system's own words for `code`, without the closing full stop and line
// end, in the code page the console shows.
SaveOutcome failedOutcome(DWORD code) {
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
    return {false, reason};
}

bool writeWholeFile(HANDLE file, std::string_view contents) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(left, 1U << 20));
        DWORD done = 0;
        if (::WriteFile(file, data, piece, &done, nullptr) == 0) return false;
        if (done == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += done;
        left -= done;
    }
    return true;
}

bool readWholeFile(HANDLE file, std::string& into) {
    std::size_t filled = 0;
    while (filled < into.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(into.size() - filled, 1U << 20));
        DWORD got = 0;
        if (::ReadFile(file, into.data() + filled, piece, &got, nullptr) == 0) return false;
        if (got == 0) {
            ::SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        filled += got;
    }
    return true;
}

bool moveTo(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER where{};
    where.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, where, nullptr, FILE_BEGIN) != 0;
}

// The file a symbolic link names, or `path` itself when it is no link.
// Sets `code` when the link leads nowhere.
std::wstring followLink(const std::wstring& path, DWORD& code) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        code = ::GetLastError();
        return path;
    }
    std::vector<wchar_t> name(MAX_PATH);
    DWORD length = ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    if (length >= name.size() && length < 32768) {
        name.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    if (length == 0 || length >= name.size())
        code = ::GetLastError() != 0 ? ::GetLastError() : ERROR_PATH_NOT_FOUND;
    ::CloseHandle(file);
    return code == 0 ? std::wstring(name.data(), length) : path;
}

// A name beside `target` that no file of the player's is likely to have;
// CREATE_NEW makes sure of it.
std::wstring temporaryName(const std::wstring& target, int attempt) {
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    unsigned long long mix = ::GetTickCount64() ^
                             (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20) ^
                             (0x9E3779B97F4A7C15ULL * static_cast<unsigned long long>(attempt + 1));
    std::wstring suffix;
    for (int digit = 0; digit < 8; ++digit, mix >>= 4) suffix += L"0123456789abcdef"[mix & 15U];
    return folder + L"." + name + L"." + suffix;
}

// Writes a new file beside `target` and moves it over `target`. Returns 0
// or the error of the step that failed, after removing the new file.
DWORD replaceByMove(const std::wstring& target, std::string_view contents) {
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryName(target, attempt);
        file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) return ::GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE) return ERROR_FILE_EXISTS;
    DWORD code = 0;
    if (!writeWholeFile(file, contents) || ::FlushFileBuffers(file) == 0) code = ::GetLastError();
    if (::CloseHandle(file) == 0 && code == 0) code = ::GetLastError();
    if (code == 0 && ::MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        code = ::GetLastError();
    }
    if (code != 0) ::DeleteFileW(temporary.c_str());
    return code;
}

// Overwrites the file from its start without emptying it first, so that a
// write failing part way can put the old bytes back into space the file
// already owns. Returns 0 or the error of the step that failed.
DWORD rewriteInPlace(const std::wstring& target, std::string_view contents) {
    const HANDLE file = ::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
    LARGE_INTEGER size{};
    DWORD code = 0;
    if (::GetFileSizeEx(file, &size) == 0) code = ::GetLastError();
    // Kept as the file's own 64-bit size: a 32-bit size_t would cut a file
    // past 4 GiB short when a failed write puts its old length back.
    const auto oldSize = static_cast<std::uint64_t>(std::max<LONGLONG>(size.QuadPart, 0));
    const auto newSize = static_cast<std::uint64_t>(contents.size());
    std::string old(static_cast<std::size_t>(std::min(oldSize, newSize)), '\0');
    if (code == 0 && !readWholeFile(file, old)) code = ::GetLastError();
    if (code == 0) {
        const bool written = moveTo(file, 0) && writeWholeFile(file, contents) &&
                             (newSize >= oldSize || (moveTo(file, newSize) && ::SetEndOfFile(file) != 0)) &&
                             ::FlushFileBuffers(file) != 0;
        if (!written) {
            code = ::GetLastError();
            if (moveTo(file, 0) && writeWholeFile(file, old) && moveTo(file, oldSize)) ::SetEndOfFile(file);
            ::FlushFileBuffers(file);
        }
    }
    if (::CloseHandle(file) == 0 && code == 0) code = ::GetLastError();
    return code;
}

std::wstring executableFolder() {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(name.size());
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

SaveOutcome replaceFileAtomicallyWindows(const std::string& path, std::string_view contents) {
    DWORD code = 0;
    const std::wstring target = followLink(widenText(path, CP_ACP), code);
    if (target.empty()) return failedOutcome(ERROR_INVALID_NAME);
    if (code != 0) return failedOutcome(code);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // A read-only save stays as it is; a folder cannot be written as a file.
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return failedOutcome(ERROR_ACCESS_DENIED);
    }
    code = replaceByMove(target, contents);
    if (code == 0) return savedOutcome();
    // A folder closed to new files may still hold a save the player can write.
    if (exists && code == ERROR_ACCESS_DENIED) code = rewriteInPlace(target, contents);
    return code == 0 ? savedOutcome() : failedOutcome(code);
}

// The pictures of an installed game lie at a fixed path from the
// executable's folder; a game unpacked from an archive keeps them beside
// talvoren.exe. Either way the game finds them from any working folder.
std::string installedDataFolderWindows() {
    const std::wstring binaryFolder = executableFolder();
    if (binaryFolder.empty()) return {};
#ifdef TALVOREN_DATA_FROM_BINARY
    const std::wstring installed = binaryFolder + L"\\" + widenText(TALVOREN_DATA_FROM_BINARY, CP_UTF8);
    const DWORD attributes = ::GetFileAttributesW(installed.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return narrowPath(installed);
    }
#endif
    return narrowPath(binaryFolder);
}

}  // namespace talvoren
