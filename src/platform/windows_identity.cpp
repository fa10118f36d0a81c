// The player's identity for the Windows back end's files: who the player is
// (the token's user, its default owner and, for an administrator, the
// Administrators group) and who owns a file, both as SID text.
#include "platform/windows_files.h"  // brings <windows.h>, lean and without min/max
// Owners and SIDs, after <windows.h> as the file above brings it.
#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windows_file_steps.h"

namespace talvoren {

namespace {

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

}  // namespace

namespace windows {

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

}  // namespace windows

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

}  // namespace talvoren
