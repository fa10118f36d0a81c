#include <algorithm>
#include <cstdint>

#include "character/arithmetic.h"
#include "character/records.h"
#include "combat/battle.h"
#include "combat/random.h"
#include "console/text_kit.h"

namespace talvoren {

namespace {

// Rewards and penalties are never negative, so that gold and experience
// move only the way they should even for a level from a damaged save.
std::int32_t atLeastZero(std::int32_t amount) {
    return std::max<std::int32_t>(amount, 0);
}

}  // namespace

void showVictory() {
    const std::int32_t level = player.level;
    clearScreen();
    const std::int32_t loot =
        atLeastZero(rollRange(saturatingMultiply(level, 5), saturatingMultiply(level, 8)));
    const std::int32_t base = rollRange(saturatingMultiply(level, 6), saturatingMultiply(level, 7));
    player.gold = saturatingAdd(player.gold, loot);
    const std::int32_t earned = atLeastZero(scaleByFactor(levelFactor(enemy.level, 0.25), base));
    player.experience = saturatingAdd(player.experience, earned);
    if (player.experience >= player.experienceToNext) {
        player.skillPoints = saturatingAdd(player.skillPoints, 5);
        player.experienceToNext =
            saturatingAdd(player.experienceStep, 2 * static_cast<std::int64_t>(player.experienceToNext));
        player.experienceStep = saturatingMultiply(player.experienceStep, 2);
        player.level = saturatingAdd(player.level, 1);
        writeText("You have leveled up to ");
        writeNumber(player.level);
        endLine();
    }
    writeText("You have looted ");
    writeNumber(loot);
    writeText(" gold");
    endLine();
    writeText("You have earned ");
    writeNumber(earned);
    writeText(" experience");
    endLine();
    pauseForEnter();
    inBattle = false;
}

void showDeath() {
    const std::int32_t level = player.level;
    clearScreen();
    const std::int32_t penalty = atLeastZero(rollRange(level, saturatingMultiply(level, 3)));
    printLine("You have died");
    if (player.gold > 0) {
        writeText("You have lost ");
        writeNumber(penalty);
        writeText(" gold");
        endLine();
        player.gold =
            std::max<std::int32_t>(saturatingAdd(player.gold, -static_cast<std::int64_t>(penalty)), 0);
    }
    pauseForEnter();
    inBattle = false;
}

}  // namespace talvoren
