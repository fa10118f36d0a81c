// File system services of the Windows back end: the save's steps and the
// installed picture folder.
#include "platform/windows_files.h"  // brings <windows.h>, lean and without min/max

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/back_end.h"

namespace talvoren {

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

// A SID as text ("S-1-5-21-..."); empty when it cannot be told.
std::string sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || ::ConvertSidToStringSidW(sid, &text) == 0) return {};
    std::string result;
    for (const wchar_t* c = text; *c != L'\0'; ++c)
        result += static_cast<char>(*c & 0x7f);  // digits, "S" and "-"
    ::LocalFree(text);
    return result;
}

std::string ownerOf(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    std::string text = sidText(owner);
    ::LocalFree(descriptor);
    return text;
}

// The player's SIDs: the token's user, and the owner the token gives new
// files; for an administrator, elevated or not, also the Administrators
// group, which owns the files an elevated run makes (and whose other
// members may read any of the player's files anyway).
struct PlayerSids {
    std::string user;
    std::string defaultOwner;
    bool administrator = false;
};
constexpr std::string_view kAdministrators = "S-1-5-32-544";

std::string tokenSid(HANDLE token, TOKEN_INFORMATION_CLASS which) {
    DWORD size = 0;
    ::GetTokenInformation(token, which, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER)) return {};
    std::vector<unsigned char> buffer(size);
    if (::GetTokenInformation(token, which, buffer.data(), size, &size) == 0) return {};
    if (which == TokenUser) {
        TOKEN_USER user{};
        std::memcpy(&user, buffer.data(), sizeof user);
        return sidText(user.User.Sid);
    }
    TOKEN_OWNER owner{};
    std::memcpy(&owner, buffer.data(), sizeof owner);
    return sidText(owner.Owner);
}

bool isElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != 0 &&
           elevation.TokenIsElevated != 0;
}

// Whether the token holds the Administrators group, even as the deny-only
// group of an administrator's run that is not elevated.
bool inAdministrators(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    if (size < sizeof(TOKEN_GROUPS)) return false;
    std::vector<unsigned char> buffer(size);
    if (::GetTokenInformation(token, TokenGroups, buffer.data(), size, &size) == 0) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    const SID_AND_ATTRIBUTES* group = groups->Groups;
    for (DWORD left = groups->GroupCount; left > 0; --left, ++group) {
        if (sidText(group->Sid) == kAdministrators) return true;
    }
    return false;
}

const PlayerSids& playerSids() {
    static const PlayerSids sids = [] {
        PlayerSids found;
        HANDLE token = nullptr;
        if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == 0) return found;
        found.user = tokenSid(token, TokenUser);
        found.defaultOwner = tokenSid(token, TokenOwner);
        found.administrator = isElevated(token) || inAdministrators(token);
        ::CloseHandle(token);
        return found;
    }();
    return sids;
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

// Whether the open file is a symbolic link, a junction or another name for
// some other file (a name surrogate), and not a file of its own; a tag that
// cannot be read counts as one.
bool isNameSurrogate(HANDLE file, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) == 0 ||
           IsReparseTagNameSurrogate(tag.ReparseTag);
}

// The owner of a file whose volume keeps owners (NTFS) but whose access
// list hides this one's from the player: never taken for the player.
constexpr char kUnknownOwner = '?';

bool keepsOwners(HANDLE file) {
    DWORD flags = 0;
    return ::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) != 0 &&
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

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

// The head of a symbolic link's reparse data (REPARSE_DATA_BUFFER in the
// driver kit's headers); the names follow it.
struct SymbolicLinkHead {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    DWORD flags;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kRelativeLink = 1;  // SYMLINK_FLAG_RELATIVE

// The substitute name of the symbolic link held open by `file`, the name
// Windows itself follows (the print name is only for showing), as a path
// that CreateFileW takes.
FileError substituteName(HANDLE file, std::string& target) {
    std::vector<unsigned char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    if (::DeviceIoControl(file, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                          static_cast<DWORD>(data.size()), &size, nullptr) == 0) {
        return lastError();
    }
    SymbolicLinkHead head{};
    if (size < sizeof head) return errorOf(ERROR_INVALID_REPARSE_DATA);
    std::memcpy(&head, data.data(), sizeof head);
    const std::size_t offset = sizeof head + head.substituteOffset;
    const std::size_t length = head.substituteLength;
    if (head.tag != IO_REPARSE_TAG_SYMLINK || length == 0 || offset + length > size)
        return errorOf(ERROR_INVALID_REPARSE_DATA);
    std::wstring wide(length / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), data.data() + offset, wide.size() * sizeof(wchar_t));
    // An absolute substitute name is an NT path: "\??\C:\saves\mine.txt",
    // "\??\UNC\server\share\..." or "\??\Volume{...}\..."; any other
    // ("\Device\...") is reached through the global root.
    if ((head.flags & kRelativeLink) == 0) {
        if (wide.rfind(L"\\??\\UNC\\", 0) == 0) {
            wide = L"\\\\" + wide.substr(8);
        } else if (wide.rfind(L"\\??\\", 0) == 0 && wide.size() >= 6 && wide[5] == L':') {
            wide.erase(0, 4);
        } else if (wide.rfind(L"\\??\\", 0) == 0) {
            wide.replace(0, 4, L"\\\\?\\");
        } else {
            wide.insert(0, L"\\\\?\\GLOBALROOT");
        }
    }
    target = narrowPath(wide);
    return target.empty() ? errorOf(ERROR_NO_UNICODE_TRANSLATION) : FileError{};
}

class WindowsFolder final : public Folder {
public:
    WindowsFolder(std::wstring prefix, HANDLE held) : prefix_(std::move(prefix)), held_(held) {}
    ~WindowsFolder() override {
        if (held_ != INVALID_HANDLE_VALUE) ::CloseHandle(held_);
    }
    WindowsFolder(const WindowsFolder&) = delete;
    WindowsFolder& operator=(const WindowsFolder&) = delete;

    // One handle of the name, the link itself when it is one: its owner and
    // its target are read from that handle. Every entry's owner is read, for
    // the rule on another user's file and for the clean-up of leftovers.
    FileError look(const std::string& name, EntryInfo& info) override {
        std::wstring path;
        if (const FileError error = fullPath(name, path)) return error;
        constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
        HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll, nullptr,
                                    OPEN_EXISTING, kFlags, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED) {
            file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                 kFlags, nullptr);
        }
        if (file == INVALID_HANDLE_VALUE) return lookByAttributes(path, info);
        BY_HANDLE_FILE_INFORMATION data{};
        FileError error = unless(::GetFileInformationByHandle(file, &data) == 0);
        if (!error) {
            info = entryOf(data);
            info.owner = ownerOf(file);  // empty where FAT keeps none
            // (assign, not =: g++ 12 -O2 warns of an overlap)
            if (info.owner.empty() && keepsOwners(file)) info.owner.assign(1, kUnknownOwner);
            FILE_ATTRIBUTE_TAG_INFO tag{};
            // Other reparse points (cloud files, deduplicated files) are plain files to the game.
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) != 0 &&
                tag.ReparseTag == IO_REPARSE_TAG_SYMLINK) {
                info.kind = EntryKind::link;
                error = substituteName(file, info.target);
            } else if (info.kind == EntryKind::regular && ::GetFileType(file) != FILE_TYPE_DISK) {
                info.kind = EntryKind::other;
            }
        }
        ::CloseHandle(file);
        return error;
    }

    // Windows has no sticky folders; every folder counts as open to others.
    FileError describe(FolderInfo& info) override {
        info = FolderInfo{};
        return {};
    }

    // Asked of the file itself: opened for writing, a link as the link, so
    // that a file whose access list refuses the player is not replaced by a
    // rename that only needs the folder's permission.
    FileError mayWrite(const std::string& name) override {
        std::wstring path;
        if (const FileError error = fullPath(name, path)) return error;
        const HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, kShareAll,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return lastError();
        BY_HANDLE_FILE_INFORMATION data{};
        FileError error = unless(::GetFileInformationByHandle(file, &data) == 0);
        if (!error &&
            (isNameSurrogate(file, data.dwFileAttributes) || ::GetFileType(file) != FILE_TYPE_DISK)) {
            error = {FileProblem::notRegular, 0};
        }
        ::CloseHandle(file);
        return error;
    }

    FileError createLocked(const std::string& name, unsigned, std::unique_ptr<OpenFile>& file) override {
        std::wstring path;
        if (const FileError error = fullPath(name, path)) return error;
        // Shared for deletion only, so it can be moved over the save while it
        // is held; a link of that name is never created through.
        const HANDLE created =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (created == INVALID_HANDLE_VALUE) return lastError();
        file = std::make_unique<WindowsOpenFile>(created);
        return {};
    }

    // A link is opened as the link itself, so describe() tells it apart.
    // A cloud file's placeholder or a deduplicated file (reparse points that
    // are no links) is opened once more the usual way, so that its own bytes
    // are read and written; the save then compares the file's ID with the
    // one it checked, so a link swapped in meanwhile is never written.
    FileError openExisting(const std::string& name, bool forWriting,
                           std::unique_ptr<OpenFile>& file) override {
        std::wstring path;
        if (const FileError error = fullPath(name, path)) return error;
        const DWORD access = GENERIC_READ | (forWriting ? GENERIC_WRITE : 0);
        HANDLE opened = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (opened == INVALID_HANDLE_VALUE) return lastError();
        BY_HANDLE_FILE_INFORMATION data{};
        if (::GetFileInformationByHandle(opened, &data) != 0 &&
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            !isNameSurrogate(opened, data.dwFileAttributes)) {
            ::CloseHandle(opened);
            opened = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (opened == INVALID_HANDLE_VALUE) return lastError();
        }
        file = std::make_unique<WindowsOpenFile>(opened);
        return {};
    }

    FileError rename(const std::string& from, const std::string& to) override {
        std::wstring source;
        std::wstring target;
        if (const FileError error = fullPath(from, source)) return error;
        if (const FileError error = fullPath(to, target)) return error;
        return unless(::MoveFileExW(source.c_str(), target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0);
    }

    FileError remove(const std::string& name) override {
        std::wstring path;
        if (const FileError error = fullPath(name, path)) return error;
        return unless(::DeleteFileW(path.c_str()) == 0);
    }

    // MOVEFILE_WRITE_THROUGH has flushed the move; Windows has no flush of a folder.
    FileError sync() override { return {}; }

    FileError list(std::string_view prefix, const std::function<void(std::string_view)>& each) override {
        std::wstring pattern = prefix_;
        if (!prefix.empty()) {
            const std::wstring wide = widenText(prefix, CP_ACP);
            if (wide.empty()) return errorOf(ERROR_INVALID_NAME);
            pattern += wide;
        }
        pattern += L"*";
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            return code == ERROR_FILE_NOT_FOUND ? FileError{} : errorOf(code);
        }
        do {
            // The pattern also matches short 8.3 names; the long name must start so too.
            const std::string name = narrowPath(found.cFileName);
            if (!name.empty() && std::string_view(name).starts_with(prefix)) each(name);
        } while (::FindNextFileW(search, &found) != 0);
        ::FindClose(search);
        return {};
    }

    FileError removeIfUnheld(const std::string& name, const FileSystem& owners) override {
        std::wstring path;
        if (const FileError error = fullPath(name, path)) return error;
        // Without any sharing the file opens only when no other program holds it.
        const HANDLE file = ::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | READ_CONTROL, 0,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return lastError();
        BY_HANDLE_FILE_INFORMATION data{};
        FileError error = unless(::GetFileInformationByHandle(file, &data) == 0);
        if (!error &&
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
            error = {FileProblem::notRegular, 0};
        }
        // Only the player's own, told by the file's security descriptor; a
        // file whose owner cannot be told stays.
        if (!error && !owners.isPlayer(ownerOf(file))) error = errorOf(ERROR_ACCESS_DENIED);
        if (!error) {
            FILE_DISPOSITION_INFO disposition{TRUE};
            error = unless(::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                                        sizeof disposition) == 0);
        }
        ::CloseHandle(file);
        return error;
    }

private:
    FileError fullPath(const std::string& name, std::wstring& path) const {
        const std::wstring wide = widenText(name, CP_ACP);
        if (wide.empty()) return errorOf(ERROR_INVALID_NAME);
        path = prefix_ + wide;
        return {};
    }

    // For a file some other program holds without sharing, which cannot be
    // opened even to look at it: its attributes still tell what it is.
    static FileError lookByAttributes(const std::wstring& path, EntryInfo& info) {
        const FileError opening = lastError();
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (opening.problem == FileProblem::missing ||
            ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) == 0) {
            return opening;
        }
        info = EntryInfo{};
        info.kind =
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::folder : EntryKind::regular;
        info.writable = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
        info.permissions = info.writable ? 0666 : 0444;
        info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return {};
    }

    std::wstring prefix_;  // the folder's path and a separator, or nothing for the working folder
    HANDLE held_;          // the folder itself, so that it cannot be renamed or replaced meanwhile
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

// The folder is held open without sharing deletion: while the save works in
// it, no one can rename it or put another folder or a junction in its place,
// so its path keeps naming the folder that was opened.
FileError WindowsFileSystem::openFolder(const std::string& path, std::unique_ptr<Folder>& folder) {
    std::wstring prefix;
    if (!path.empty()) {
        prefix = widenText(path, CP_ACP);
        if (prefix.empty()) return errorOf(ERROR_INVALID_NAME);
        if (prefix.back() != L'\\' && prefix.back() != L'/') prefix += L'\\';
    }
    const std::wstring where = prefix.empty() ? std::wstring(L".") : prefix;
    const HANDLE held = ::CreateFileW(where.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held == INVALID_HANDLE_VALUE) return lastError();
    BY_HANDLE_FILE_INFORMATION data{};
    if (::GetFileInformationByHandle(held, &data) == 0 ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const FileError error = errorOf(ERROR_DIRECTORY);
        ::CloseHandle(held);
        return error;
    }
    folder = std::make_unique<WindowsFolder>(std::move(prefix), held);
    return {};
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

bool WindowsFileSystem::isPlayer(const std::string& owner) const {
    const PlayerSids& player = playerSids();
    return !owner.empty() && (owner == player.user || owner == player.defaultOwner ||
                              (player.administrator && owner == kAdministrators));
}

// The user's SID, which elevated and plain runs of the game share.
std::string WindowsFileSystem::playerId() const {
    const std::string& user = playerSids().user;
    return user.empty() ? std::string("0") : user;
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
