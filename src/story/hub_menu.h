// The options that the wilderness and cursed-town menus end with.
#pragma once

#include <cstdint>

namespace talvoren {

// "[10] Heal", "[11] Character Statistics", a blank line, "[98] Save Game"
// and "[99] Exit Game".
void printHubOptions();
// Acts on 10 (heal), 11 (the sheet), 98 (save) or 99 (end the act);
// any other choice does nothing.
void handleHubChoice(std::int32_t choice);

}  // namespace talvoren
