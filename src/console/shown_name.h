// Names come from the keyboard or from a save file that may have been made
// elsewhere; shown raw, their control bytes would drive the terminal.
#pragma once

#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace talvoren {

// The name as a console of `encoding` shows it safely: every control becomes
// "?". Always the bytes 0x00 to 0x1F and 0x7F; in UTF-8 also U+0080 to U+009F
// and every byte that is not part of well-formed UTF-8 (one "?" each); with
// one byte a character also the bytes 0x80 to 0x9F. Everything else stays as
// it is, so UTF-8 names show unchanged on a UTF-8 terminal.
std::string shownName(std::string_view name, TextEncoding encoding);

// shownName for the console of the game being played.
std::string shownName(std::string_view name);

}  // namespace talvoren
