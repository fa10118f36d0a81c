#include "console/shown_name.h"

#include "console/game_context.h"

namespace talvoren {

namespace {

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

// The length of the well-formed UTF-8 sequence at the start of `text` (no
// overlong forms, surrogates or code points past U+10FFFF), or 0.
std::size_t utf8Length(std::string_view text) {
    const auto byteAt = [&text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byteAt(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the bounds of the second byte
    unsigned char high = 0xBF;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byteAt(1) < low || byteAt(1) > high) return 0;
    for (std::size_t at = 2; at < length; ++at) {
        if (byteAt(at) < 0x80 || byteAt(at) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string shownName(std::string_view name, TextEncoding encoding) {
    std::string shown;
    shown.reserve(name.size());
    while (!name.empty()) {
        const auto byte = static_cast<unsigned char>(name.front());
        std::size_t length = 1;
        bool control = isControl(byte);
        if (encoding == TextEncoding::utf8 && byte >= 0x80) {
            length = utf8Length(name);
            // A byte that starts nothing well-formed is shown alone as "?".
            control = length == 0 || (byte == 0xC2 && static_cast<unsigned char>(name[1]) <= 0x9F);
            if (length == 0) length = 1;
        } else if (encoding == TextEncoding::eightBit) {
            control = control || (byte >= 0x80 && byte <= 0x9F);
        }
        if (control) {
            shown += '?';
        } else {
            shown.append(name.substr(0, length));
        }
        name.remove_prefix(length);
    }
    return shown;
}

std::string shownName(std::string_view name) {
    return shownName(name, game().terminal.textEncoding());
}

}  // namespace talvoren
