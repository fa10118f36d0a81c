// Text between the game's narrow strings and Windows' wide ones, for the
// Windows back end's files and console alike.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace talvoren {

// Narrow text of the game in `codePage` to a wide string; empty when it does
// not convert (or is too long for the system to convert at all).
inline std::wstring widenText(std::string_view text, UINT codePage) {
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

}  // namespace talvoren
