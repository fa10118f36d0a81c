// How a console shows the bytes of text the game did not write itself (a
// name typed or loaded from a save), so that none of them can act as a
// control: besides the bytes 0x00 to 0x1F and 0x7F, a UTF-8 terminal takes
// U+0080 to U+009F (C2 80 to C2 9F) as controls, and a terminal of one byte
// a character (ISO 8859) the bytes 0x80 to 0x9F.
#pragma once

#include <string_view>

namespace talvoren {

enum class TextEncoding {
    utf8,      // UTF-8: C1 controls are two bytes, and bytes that are no UTF-8 may start a control
    eightBit,  // one byte a character: 0x80 to 0x9F are C1 controls
    codePage,  // the Windows console's code page: every byte from 0x80 shows as a character
};

// The encoding the locale variables name: the first of LC_ALL, LC_CTYPE and
// LANG that is not empty decides; UTF-8 when it names UTF-8 ("en_US.UTF-8",
// "C.utf8", in any letter case), otherwise one byte a character (none set is
// the C locale).
TextEncoding encodingOfLocale(std::string_view lcAll, std::string_view lcCtype, std::string_view lang);

// encodingOfLocale of this process's environment.
TextEncoding encodingOfEnvironment();

}  // namespace talvoren
