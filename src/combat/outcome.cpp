#include <cstdint>

#include "combat/battle.h"
#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/fight.h"
#include "rules/records.h"

namespace talvoren {

void showVictory() {
    clearScreen();
    const Victory victory = rollVictory(player, enemy.level, game().dice());
    if (applyVictory(player, victory)) {
        writeText("You have leveled up to ");
        writeNumber(player.level);
        endLine();
    }
    writeText("You have looted ");
    writeNumber(victory.loot);
    writeText(" gold");
    endLine();
    writeText("You have earned ");
    writeNumber(victory.experience);
    writeText(" experience");
    endLine();
    pauseForEnter();
    inBattle = false;
}

void showDeath() {
    clearScreen();
    const std::int32_t penalty = rollDeathPenalty(player, game().dice());
    printLine("You have died");
    if (applyDeathPenalty(player, penalty)) {
        writeText("You have lost ");
        writeNumber(penalty);
        writeText(" gold");
        endLine();
    }
    pauseForEnter();
    inBattle = false;
}

}  // namespace talvoren
