// File system services of the Windows back end: the atomic save and the
// installed picture folder.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/windows_files.h"

#include <algorithm>
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

bool writeWholeFile(HANDLE file, std::string_view contents) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(left, 1U << 20));
        DWORD done = 0;
        if (::WriteFile(file, data, piece, &done, nullptr) == 0 || done == 0) return false;
        data += done;
        left -= done;
    }
    return true;
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

bool replaceFileAtomicallyWindows(const std::string& path, std::string_view contents) {
    const std::wstring target = widenText(path, CP_ACP);
    if (target.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return false;  // a read-only save stays as it is
    }
    const std::wstring temporary = target + L".tmp";
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = writeWholeFile(file, contents) && ::FlushFileBuffers(file) != 0;
    written = ::CloseHandle(file) != 0 && written;
    if (!written || ::MoveFileExW(temporary.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
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
