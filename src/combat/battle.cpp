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

void setHeroDamageRange(Player& hero) {
    const DamageRange range = heroDamageRange(hero);
    hero.maxDamage = range.high;
    hero.minDamage = range.low;
}

void showIntro(const Enemy& monster) {
    clearScreen();
    writeText("You have encountered a level ");
    writeNumber(monster.level);
    writeText(" ");
    writeText(monster.name);
    writeText("[!]");
    endLine();
    writeRuleLine();
    const std::string picture = pictureFileFor(monster.name);
    if (!picture.empty()) printArtFile(picture);
    writeRuleLine();
    pauseForEnter();
}

// Two lines of the turn screen under the name `shown`: health, level and damage.
void writeCombatant(std::string_view shown, const Combatant& fighter) {
    writeText(shown);
    writeText(" [");
    writeNumber(fighter.health);
    writeText("/");
    writeNumber(fighter.maxHealth);
    writeText("]");
    endLine();
    writeText("Lvl ");
    writeNumber(fighter.level);
    writeText(" | ");
    writeNumber(fighter.minDamage);
    writeText(" -> ");
    writeNumber(fighter.maxDamage);
    writeText(" dmg");
    endLine();
}

std::int32_t showTurnScreen(const Player& hero, const Enemy& monster) {
    clearScreen();
    writeCombatant(monster.name, monster);
    writeCombatant(shownName(hero.name), hero);
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

BattlePhase playAttackTurn(Player& hero, Enemy& monster) {
    const Blows blows = rollBlows(hero, monster, game().dice);
    hero.lastHit = blows.hero;
    monster.lastHit = blows.monster;
    hero.lastHit = gradedAmount(runTimingBar(), hero.lastHit);
    const TurnEnd end = exchangeBlows(hero, monster, hero.lastHit, monster.lastHit);
    writeText("You did: ");
    writeNumber(hero.lastHit);
    writeText(" damage to the ");
    writeText(monster.name);
    endLine();
    writeText("The ");
    writeText(monster.name);
    writeText(" did ");
    writeNumber(monster.lastHit);
    writeText(" damage to you");
    endLine();
    pauseForEnter();
    return phaseAfter(end);
}

void playHealTurn(Player& hero) {
    hero.lastHit = game().dice.roll(hero.minDamage, hero.maxDamage);
    hero.lastHit = gradedAmount(runTimingBar(), hero.lastHit);
    hero.health = healedHealth(hero.health, hero.lastHit, hero.maxHealth);
    writeText("You healed: ");
    writeNumber(hero.lastHit);
    writeText(" damage");
    endLine();
    pauseForEnter();
}

}  // namespace

BattleResult runBattle(Player& hero, Enemy& monster, std::int32_t minLevel, std::int32_t maxLevel) {
    setHeroDamageRange(hero);
    monster = generateEnemy(minLevel, maxLevel, hero, monster.lastHit);
    BattlePhase phase = BattlePhase::Main;
    bool& inBattle = game().state.inBattle;
    inBattle = true;
    showIntro(monster);
    while (inBattle) {
        if (phase == BattlePhase::Winner) {
            showVictory(hero, monster);
            return BattleResult::Won;
        }
        if (phase == BattlePhase::Loser) {
            showDeath(hero);
            return BattleResult::Lost;
        }
        switch (showTurnScreen(hero, monster)) {
            case kAttack: phase = playAttackTurn(hero, monster); break;
            case kHeal: playHealTurn(hero); break;
            case kFlee: inBattle = false; break;
            case kInstantVictoryChoice: phase = BattlePhase::Winner; break;
            default: break;
        }
    }
    return BattleResult::Lost;
}

}  // namespace talvoren
