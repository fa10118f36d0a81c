// The rules of a fight, stated as worked examples: each range by its two
// ends (the dice rolling lowest, then highest), and the edges where a rule
// changes its mind.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "rules/fight.h"
#include "scripted_dice.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kBear = 0, kHippopotamus = 1, kWasp = 2, kRaven = 3;

// A hero of `level` with Strength and Agility 5 unless told otherwise.
Player hero(std::int32_t level, std::int32_t strength = 5, std::int32_t agility = 5) {
    Player made;
    made.level = level;
    made.strength = strength;
    made.agility = agility;
    return made;
}

Enemy lowest(std::int32_t kind, std::int32_t level, const Player& against = hero(1)) {
    ScriptedDice dice;
    return makeMonster(kind, level, against, dice);
}

Enemy highest(std::int32_t kind, std::int32_t level, const Player& against = hero(1)) {
    ScriptedDice dice({}, ScriptedDice::Afterwards::Highest);
    return makeMonster(kind, level, against, dice);
}

// "high damage low-high, low damage low-high, health low-high" of a monster
// met by a hero with Strength and Agility 5.
std::string ranges(std::int32_t kind, std::int32_t level) {
    const Enemy low = lowest(kind, level);
    const Enemy high = highest(kind, level);
    EXPECT_EQ(low.level, level);
    EXPECT_EQ(low.health, low.maxHealth);
    EXPECT_EQ(high.health, high.maxHealth);
    return std::to_string(low.maxDamage) + "-" + std::to_string(high.maxDamage) + ", " +
           std::to_string(low.minDamage) + "-" + std::to_string(high.minDamage) + ", " +
           std::to_string(low.health) + "-" + std::to_string(high.health);
}

TEST(Monster, WorkedExamplesOfEachKind) {
    EXPECT_EQ(lowest(kBear, 2).name, "Bear");
    EXPECT_EQ(ranges(kBear, 2), "30-37, 15-22, 232-255");
    EXPECT_EQ(lowest(kHippopotamus, 4).name, "Hippopotamus");
    EXPECT_EQ(ranges(kHippopotamus, 4), "50-60, 30-40, 290-320");
    EXPECT_EQ(lowest(kWasp, 2).name, "Wasp");
    EXPECT_EQ(ranges(kWasp, 2), "48-54, 42-48, 115-125");
    // A Wasp's health does not grow with its level; a Raven's doubles at level 10.
    EXPECT_EQ(ranges(kWasp, 30), "160-180, 140-160, 115-125");
    EXPECT_EQ(lowest(kRaven, 10).name, "Raven");
    EXPECT_EQ(ranges(kRaven, 10), "30-40, 10-20, 200-250");
    // The level the monster is met at is the one it carries, and it has struck no blow.
    EXPECT_EQ(lowest(kRaven, 31).level, 31);
    EXPECT_EQ(lowest(kRaven, 31).lastHit, 0);
}

// The same numbers on every processor: a level factor of exactly 2.3 (level
// 13) or 2.8 (level 18), never a hair above, so no blow or health is rounded
// up by one where a processor fuses the multiply and the add.
TEST(Monster, LevelFactorsRoundTheSameEverywhere) {
    // A level-13 Raven rolling its highest against Strength 25 and Agility 4:
    // 100 high damage, 50 low damage and 100 health, each grown to 2.3 times.
    ScriptedDice ravenDice({100, 50, 100});
    const Enemy raven = makeMonster(kRaven, 13, hero(1, 25, 4), ravenDice);
    EXPECT_EQ(raven.maxHealth, 229);
    EXPECT_EQ(raven.maxDamage, 229);
    EXPECT_EQ(raven.minDamage, 114);
    // A level-18 Wasp against Strength 10: 90 and 80 damage grown to 2.8
    // times; its 100 health stays as rolled.
    ScriptedDice waspDice({90, 80, 100});
    const Enemy wasp = makeMonster(kWasp, 18, hero(1, 10, 4), waspDice);
    EXPECT_EQ(wasp.maxDamage, 251);
    EXPECT_EQ(wasp.minDamage, 224);
    EXPECT_EQ(wasp.maxHealth, 100);
}

TEST(Monster, RollsDamageFromStrengthAndHealthFromAgility) {
    ScriptedDice dice;
    makeMonster(kBear, 2, hero(1, 7, 3), dice);
    const std::vector<std::pair<std::int32_t, std::int32_t>> asked{{28, 35}, {14, 21}, {93, 102}};
    EXPECT_EQ(dice.ranges(), asked);
}

// Rolls the low end and the high end by turns: a monster's high damage as
// low as it goes, its low damage as high.
class SeesawDice final : public Dice {
public:
    std::int32_t roll(std::int32_t lo, std::int32_t hi) override { return (rolls_++ % 2 == 0) ? lo : hi; }

private:
    int rolls_ = 0;
};

TEST(Monster, EdgesOfStrengthAndAgility) {
    for (std::int32_t kind = kBear; kind <= kRaven; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        // Nothing to draw on: a harmless monster with no health.
        const Enemy empty = lowest(kind, 5, hero(1, 0, 0));
        EXPECT_EQ(empty.minDamage, 0);
        EXPECT_EQ(empty.maxDamage, 0);
        EXPECT_EQ(empty.health, 0);
        // The low damage never passes the high, so the monster's strike has a range.
        for (const std::int32_t level : {1, 16, 32}) {
            for (const std::int32_t strength : {1, 5, 40}) {
                SeesawDice seesaw;
                const Enemy monster = makeMonster(kind, level, hero(1, strength), seesaw);
                EXPECT_LE(monster.minDamage, monster.maxDamage)
                    << "level " << level << ", strength " << strength;
            }
        }
        // Numbers past 32 bits stop at the top instead of wrapping round.
        const Enemy huge = highest(kind, kMax, hero(1, kMax, kMax));
        EXPECT_EQ(huge.maxDamage, kMax);
        EXPECT_GT(huge.minDamage, 0);
        EXPECT_GT(huge.health, 0);
    }
}

TEST(Fight, HeroDamageRangeGrowsAQuarterPerLevel) {
    EXPECT_EQ(heroDamageRange(hero(1)).low, 18);
    EXPECT_EQ(heroDamageRange(hero(1)).high, 31);
    EXPECT_EQ(heroDamageRange(hero(2)).low, 22);
    EXPECT_EQ(heroDamageRange(hero(2)).high, 37);
    EXPECT_EQ(heroDamageRange(hero(3, 0)).high, 0);
    EXPECT_EQ(heroDamageRange(hero(kMax, kMax)).high, kMax);
}

TEST(Fight, BlowsGradesAndHealing) {
    Player ana = hero(1);
    ana.minDamage = 18;
    ana.maxDamage = 31;
    Enemy bear = lowest(kBear, 2);
    ScriptedDice dice({25, 17});
    const Blows blows = rollBlows(ana, bear, dice);
    EXPECT_EQ(blows.hero, 25);
    EXPECT_EQ(blows.monster, 17);
    const std::vector<std::pair<std::int32_t, std::int32_t>> asked{{18, 31}, {15, 30}};
    EXPECT_EQ(dice.ranges(), asked);

    EXPECT_EQ(gradedAmount(Grade::Hit, 25), 25);
    EXPECT_EQ(gradedAmount(Grade::Critical, 25), 50);
    EXPECT_EQ(gradedAmount(Grade::Miss, 25), 0);
    EXPECT_EQ(gradedAmount(Grade::Critical, kMax), kMax);

    EXPECT_EQ(healedHealth(100, 25, 156), 125);
    EXPECT_EQ(healedHealth(140, 25, 156), 156);  // never above the ceiling
    EXPECT_EQ(healedHealth(-12, 0, 156), -12);   // a Miss heals nothing
    EXPECT_EQ(healedHealth(kMax - 1, kMax, kMax), kMax);
}

TEST(Fight, TheHeroIsLookedAtFirst) {
    struct Case {
        const char* what;
        std::int32_t heroHealth, monsterHealth, blow, strike;
        TurnEnd end;
        std::int32_t heroLeft, monsterLeft;
    };
    const Case cases[] = {
        {"both stand", 156, 232, 50, 15, TurnEnd::FightOn, 141, 182},
        {"the monster falls", 156, 40, 50, 15, TurnEnd::MonsterFell, 141, -10},
        {"both fall: a defeat", 10, 40, 50, 15, TurnEnd::HeroFell, -5, -10},
        {"a monster born without health falls to a Miss", 156, 0, 0, 15, TurnEnd::MonsterFell, 141, 0},
        {"a fallen hero who attacks loses", 0, 232, 50, 0, TurnEnd::HeroFell, 0, 182},
    };
    for (const Case& each : cases) {
        Player ana = hero(1);
        ana.health = each.heroHealth;
        Enemy bear = lowest(kBear, 2);
        bear.health = each.monsterHealth;
        EXPECT_EQ(exchangeBlows(ana, bear, each.blow, each.strike), each.end) << each.what;
        EXPECT_EQ(ana.health, each.heroLeft) << each.what;
        EXPECT_EQ(bear.health, each.monsterLeft) << each.what;
    }
}

// Gold and experience of a victory as "gold/experience", the dice rolling lowest or highest.
std::string rewards(const Player& winner, std::int32_t monsterLevel, ScriptedDice::Afterwards roll) {
    ScriptedDice dice({}, roll);
    const Victory victory = rollVictory(winner, monsterLevel, dice);
    return std::to_string(victory.loot) + "/" + std::to_string(victory.experience);
}

TEST(Victory, WorkedExamples) {
    using enum ScriptedDice::Afterwards;
    // A new hero beats a level-2 Bear: 5 to 8 gold, 9 or 10 experience.
    EXPECT_EQ(rewards(hero(1), 2, Lowest), "5/9");
    EXPECT_EQ(rewards(hero(1), 2, Highest), "8/10");
    // A level-3 hero beats a level-5 Raven: 15 to 24 gold, 40 to 47 experience.
    EXPECT_EQ(rewards(hero(3), 5, Lowest), "15/40");
    EXPECT_EQ(rewards(hero(3), 5, Highest), "24/47");
    // At the highest levels even the lowest rolls stop at the largest number.
    EXPECT_EQ(rewards(hero(kMax), kMax, Lowest), "2147483647/2147483647");
}

TEST(Victory, LevelsUpAtTheThresholdOnceAVictory) {
    Player ana = hero(1);
    ana.experience = 40;
    EXPECT_FALSE(applyVictory(ana, {5, 9}));  // 49 of 50
    EXPECT_EQ(ana.gold, 5);
    EXPECT_EQ(ana.level, 1);

    ana.experience = 41;
    EXPECT_TRUE(applyVictory(ana, {5, 9}));  // exactly 50
    EXPECT_EQ(ana.level, 2);
    EXPECT_EQ(ana.experienceToNext, 125);
    EXPECT_EQ(ana.experienceStep, 50);
    EXPECT_EQ(ana.skillPoints, 5);
    EXPECT_EQ(ana.gold, 10);

    // Past two thresholds at once: one level now, the next with the next victory.
    Player bo = hero(1);
    EXPECT_TRUE(applyVictory(bo, {5, 130}));
    EXPECT_EQ(bo.level, 2);
    EXPECT_EQ(bo.experienceToNext, 125);
    EXPECT_TRUE(applyVictory(bo, {5, 0}));
    EXPECT_EQ(bo.level, 3);
    EXPECT_EQ(bo.experienceToNext, 300);
    EXPECT_TRUE(applyVictory(bo, {5, 170}));
    EXPECT_EQ(bo.experienceToNext, 700);
    EXPECT_EQ(bo.experienceStep, 200);
    EXPECT_EQ(bo.skillPoints, 15);
    // Health and damage wait for the next refill and the next fight.
    EXPECT_EQ(bo.maxHealth, 0);
    EXPECT_EQ(bo.maxDamage, 0);

    // A threshold of 0 is reached with no experience at all.
    Player zero = hero(1);
    zero.experienceToNext = 0;
    EXPECT_TRUE(applyVictory(zero, {0, 0}));
    EXPECT_EQ(zero.level, 2);
    EXPECT_EQ(zero.experienceToNext, 25);

    // At the top of the numbers everything stays there.
    Player rich = hero(kMax);
    rich.skillPoints = kMax;
    rich.gold = kMax - 3;
    rich.experience = rich.experienceToNext = rich.experienceStep = kMax - 1;
    EXPECT_TRUE(applyVictory(rich, {8, 10}));
    EXPECT_EQ(rich.level, kMax);
    EXPECT_EQ(rich.skillPoints, kMax);
    EXPECT_EQ(rich.gold, kMax);
    EXPECT_EQ(rich.experience, kMax);
    EXPECT_EQ(rich.experienceToNext, kMax);
    EXPECT_EQ(rich.experienceStep, kMax);
}

TEST(Death, PenaltyNeverTakesGoldBelowZero) {
    // A level-4 hero dies with 10 gold: a penalty of 4 to 12.
    ScriptedDice low;
    ScriptedDice high({}, ScriptedDice::Afterwards::Highest);
    EXPECT_EQ(rollDeathPenalty(hero(4), low), 4);
    EXPECT_EQ(rollDeathPenalty(hero(4), high), 12);

    Player ana = hero(4);
    ana.gold = 10;
    ana.experience = 200;
    ana.skillPoints = 3;
    ana.health = -12;
    EXPECT_TRUE(applyDeathPenalty(ana, 4));
    EXPECT_EQ(ana.gold, 6);
    EXPECT_TRUE(applyDeathPenalty(ana, 12));  // less gold than the penalty: all of it
    EXPECT_EQ(ana.gold, 0);
    EXPECT_FALSE(applyDeathPenalty(ana, 12));  // nothing left to lose
    EXPECT_EQ(ana.gold, 0);
    // Gold is all a death costs.
    EXPECT_EQ(ana.experience, 200);
    EXPECT_EQ(ana.level, 4);
    EXPECT_EQ(ana.skillPoints, 3);
    EXPECT_EQ(ana.health, -12);

    Player top = hero(kMax);
    top.gold = kMax;
    EXPECT_EQ(rollDeathPenalty(top, high), kMax);
    EXPECT_TRUE(applyDeathPenalty(top, kMax));
    EXPECT_EQ(top.gold, 0);
}

}  // namespace
}  // namespace talvoren::testing
