#include "story/hub_menu.h"

#include "character/character_sheet.h"
#include "console/game_context.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "rules/records.h"

namespace talvoren {

void printHubOptions() {
    printLine("[10] Heal");
    printLine("[11] Character Statistics");
    printLine("");
    printLine("[98] Save Game");
    printLine("[99] Exit Game");
}

void handleHubChoice(std::int32_t choice) {
    switch (choice) {
        case 10: restoreHealth(game().state.player); break;
        case 11: showCharacterStats(); break;
        case 98: saveGame(game().state.player, game().state.progress()); break;
        case 99: game().state.actRunning = false; break;
        default: break;
    }
}

}  // namespace talvoren
