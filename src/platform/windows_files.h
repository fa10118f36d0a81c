// File system services of the Windows back end.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/windows_text.h"  // brings <windows.h>, lean and without min/max

namespace talvoren {

// The save's steps over CreateFileW, FlushFileBuffers and MoveFileExW
// (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), paths in the ANSI
// code page. A temporary file is held with no sharing but deletion, so no
// other game opens it and it can be moved while held. Only symbolic links
// count as links (not a cloud file's placeholder or other reparse points),
// followed by their substitute name as Windows does; every folder counts as
// open to others, so a link is followed, and an existing save written, only
// when its owner is the player (the token's user or default owner, and for
// an administrator the Administrators group). Owners come from each file's
// security descriptor; one hidden from the player on a volume that keeps
// owners counts as another user's. Reasons come from FormatMessage in the console's
// code page.
class WindowsFileSystem final : public FileSystem {
public:
    FileError openFolder(const std::string& path, std::unique_ptr<Folder>& folder) override;
    void splitPath(const std::string& path, std::string& folder, std::string& name) const override;
    std::string joinPath(const std::string& folder, const std::string& target) const override;
    bool isPlayer(const std::string& owner) const override;
    std::string playerId() const override;
    std::int64_t steadyMs() override;
    std::uint64_t freshNumber() override;
    std::string reasonText(const FileError& error) const override;
    // Null for a folder, a pipe, a device or anything else, as told by the
    // handle opened, never by a look at the path before it.
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override;
    // The installed picture folder at its fixed path from talvoren.exe (by
    // default talvoren.exe's own folder); empty when there is no such folder.
    std::string dataFolder() override;
    // The folder of talvoren.exe; empty when unknown.
    std::string executableFolder() override;
    std::string_view lineEnd() const override { return "\r\n"; }
};

}  // namespace talvoren
