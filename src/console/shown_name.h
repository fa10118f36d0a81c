// Names come from the keyboard or from a save file that may have been made
// elsewhere; shown raw, their control bytes would drive the terminal.
#pragma once

#include <string>
#include <string_view>

namespace talvoren {

// The name as the screens show it: every control byte (0x00 to 0x1F and
// 0x7F) becomes "?"; all other bytes, UTF-8 included, stay as they are.
std::string shownName(std::string_view name);

}  // namespace talvoren
