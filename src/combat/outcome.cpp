#include <cstdint>

#include "combat/battle.h"
#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/fight.h"
#include "rules/records.h"

namespace talvoren {

void showVictory(Player& hero, const Enemy& monster) {
    clearScreen();
    const Victory victory = rollVictory(hero, monster.level, game().dice);
    if (applyVictory(hero, victory)) {
        writeText("You have leveled up to ");
        writeNumber(hero.level);
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
    game().state.inBattle = false;
}

void showDeath(Player& hero) {
    clearScreen();
    const std::int32_t penalty = rollDeathPenalty(hero, game().dice);
    printLine("You have died");
    if (applyDeathPenalty(hero, penalty)) {
        writeText("You have lost ");
        writeNumber(penalty);
        writeText(" gold");
        endLine();
    }
    pauseForEnter();
    game().state.inBattle = false;
}

}  // namespace talvoren
