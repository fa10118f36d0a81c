#include "combat/battle.h"

#include "combat/encounter.h"
#include "combat/timing_bar.h"
#include "console/art_file.h"
#include "console/game_context.h"
#include "console/shown_name.h"
#include "console/text_kit.h"
#include "rules/fight.h"
#include "rules/records.h"

namespace talvoren {

namespace {

constexpr std::int32_t kAttack = 1;
constexpr std::int32_t kHeal = 2;
constexpr std::int32_t kFlee = 99;

enum class BattlePhase { Main, Winner, Loser };

void setHeroDamageRange() {
    const DamageRange range = heroDamageRange(player);
    player.maxDamage = range.high;
    player.minDamage = range.low;
}

void showIntro() {
    clearScreen();
    writeText("You have encountered a level ");
    writeNumber(enemy.level);
    writeText(" ");
    writeText(enemy.name);
    writeText("[!]");
    endLine();
    writeRuleLine();
    const std::string picture = pictureFileFor(enemy.name);
    if (!picture.empty()) printArtFile(picture);
    writeRuleLine();
    pauseForEnter();
}

void writeCombatant(const std::string& name, std::int32_t health, std::int32_t maxHealth, std::int32_t level,
                    std::int32_t minDamage, std::int32_t maxDamage) {
    writeText(name);
    writeText(" [");
    writeNumber(health);
    writeText("/");
    writeNumber(maxHealth);
    writeText("]");
    endLine();
    writeText("Lvl ");
    writeNumber(level);
    writeText(" | ");
    writeNumber(minDamage);
    writeText(" -> ");
    writeNumber(maxDamage);
    writeText(" dmg");
    endLine();
}

std::int32_t showTurnScreen() {
    clearScreen();
    writeCombatant(enemy.name, enemy.health, enemy.maxHealth, enemy.level, enemy.minDamage, enemy.maxDamage);
    writeCombatant(shownName(player.name), player.health, player.maxHealth, player.level, player.minDamage,
                   player.maxDamage);
    writeRuleLine();
    printLine("[1] Attack");
    printLine("[2] Heal");
    printLine("[99] Flee");
    return readMenuChoice();
}

BattlePhase phaseAfter(TurnEnd end) {
    switch (end) {
        case TurnEnd::HeroFell: return BattlePhase::Loser;
        case TurnEnd::MonsterFell: return BattlePhase::Winner;
        case TurnEnd::FightOn: break;
    }
    return BattlePhase::Main;
}

BattlePhase playAttackTurn() {
    const Blows blows = rollBlows(player, enemy, game().dice());
    player.lastHit = blows.hero;
    enemy.lastHit = blows.monster;
    player.lastHit = gradedAmount(runTimingBar(), player.lastHit);
    const TurnEnd end = exchangeBlows(player, enemy, player.lastHit, enemy.lastHit);
    writeText("You did: ");
    writeNumber(player.lastHit);
    writeText(" damage to the ");
    writeText(enemy.name);
    endLine();
    writeText("The ");
    writeText(enemy.name);
    writeText(" did ");
    writeNumber(enemy.lastHit);
    writeText(" damage to you");
    endLine();
    pauseForEnter();
    return phaseAfter(end);
}

void playHealTurn() {
    player.lastHit = game().dice().roll(player.minDamage, player.maxDamage);
    player.lastHit = gradedAmount(runTimingBar(), player.lastHit);
    player.health = healedHealth(player.health, player.lastHit, player.maxHealth);
    writeText("You healed: ");
    writeNumber(player.lastHit);
    writeText(" damage");
    endLine();
    pauseForEnter();
}

}  // namespace

std::string runBattle(std::int32_t minLevel, std::int32_t maxLevel) {
    setHeroDamageRange();
    generateEnemy(minLevel, maxLevel);
    BattlePhase phase = BattlePhase::Main;
    inBattle = true;
    showIntro();
    while (inBattle) {
        if (phase == BattlePhase::Winner) {
            showVictory();
            return "won";
        }
        if (phase == BattlePhase::Loser) {
            showDeath();
            return "lost";
        }
        switch (showTurnScreen()) {
            case kAttack: phase = playAttackTurn(); break;
            case kHeal: playHealTurn(); break;
            case kFlee: inBattle = false; break;
            case kInstantVictoryChoice: phase = BattlePhase::Winner; break;
            default: break;
        }
    }
    return "lost";
}

}  // namespace talvoren
