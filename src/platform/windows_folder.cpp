// The folder steps of the Windows back end's files: the folder the save works
// in, held open while it works, and the symbolic links found in it.
#include "platform/windows_files.h"  // brings <windows.h>, lean and without min/max
// Reparse points, after <windows.h> as the file above brings it.
#include <winioctl.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/windows_file_steps.h"

namespace talvoren {

using windows::entryOf;
using windows::errorOf;
using windows::isNameSurrogate;
using windows::lastError;
using windows::makeOpenFile;
using windows::narrowPath;
using windows::ownerOf;
using windows::unless;

namespace {

// The owner of a file whose volume keeps owners (NTFS) but whose access
// list hides this one's from the player: never taken for the player.
constexpr char kUnknownOwner = '?';

bool keepsOwners(HANDLE file) {
    DWORD flags = 0;
    return ::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) != 0 &&
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

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
        file = makeOpenFile(created);
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
        file = makeOpenFile(opened);
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

}  // namespace talvoren
