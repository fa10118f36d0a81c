// The two ends of a battle: loot, experience and level-ups after a victory,
// the gold penalty after a death, and both at the limits of the numbers.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "character/records.h"
#include "combat/battle.h"
#include "combat/random.h"
#include "console/input.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kFirstSecond = 1'700'000'000;

// Lowest and highest value seen.
struct Spread {
    std::int32_t low = kMax, high = std::numeric_limits<std::int32_t>::min();
    void add(std::int32_t value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
};

class Outcome : public GameSession {
protected:
    // A fresh run with the calendar at `second` and an Enter for the screen's pause.
    void pin(std::int64_t second) {
        resetGameState();
        gameInput().reset();
        console = SimulatedPlatform(second);
        console.type("\n");
        inBattle = true;
    }
    std::string victoryScreen(std::int32_t loot, std::int32_t earned) const {
        return "You have looted " + std::to_string(loot) + " gold\nYou have earned " +
               std::to_string(earned) + " experience\n" + kPause;
    }
};

TEST_F(Outcome, VictoryWorkedExamples) {
    Spread bearGold, bearExperience, ravenGold, ravenExperience;
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 300; ++second) {
        // A new hero beats a level-2 Bear.
        pin(second);
        enemy.level = 2;
        showVictory();
        bearGold.add(player.gold);
        bearExperience.add(player.experience);
        ASSERT_EQ(player.level, 1);
        ASSERT_EQ(transcript(), "<clear>" + victoryScreen(player.gold, player.experience));
        ASSERT_FALSE(inBattle);

        // A level-3 hero beats a level-5 Raven: experience weighs the level by
        // a quarter for every kind.
        pin(second);
        player.level = 3;
        player.experienceToNext = 300;
        enemy.name = "Raven";
        enemy.level = 5;
        showVictory();
        ravenGold.add(player.gold);
        ravenExperience.add(player.experience);
        ASSERT_EQ(player.level, 3);
    }
    EXPECT_EQ(bearGold.low, 5);
    EXPECT_EQ(bearGold.high, 8);
    EXPECT_EQ(bearExperience.low, 9);
    EXPECT_EQ(bearExperience.high, 10);
    EXPECT_EQ(ravenGold.low, 15);
    EXPECT_EQ(ravenGold.high, 24);
    EXPECT_EQ(ravenExperience.low, 40);
    EXPECT_EQ(ravenExperience.high, 47);
}

TEST_F(Outcome, LevelUpAtExactlyTheThresholdAndNotBelowIt) {
    for (const std::int32_t shortBy : {0, 1}) {
        pin(kFirstSecond);
        enemy.level = 0;  // experience factor 1: the base is earned as it is
        const std::int32_t earned = rollRangeAt(kFirstSecond, 6, 7);
        const std::int32_t loot = rollRangeAt(kFirstSecond, 5, 8);
        player.experience = 50 - earned - shortBy;
        showVictory();
        EXPECT_EQ(player.experience, 50 - shortBy);
        EXPECT_EQ(player.gold, loot);
        if (shortBy == 0) {
            EXPECT_EQ(transcript(), "<clear>You have leveled up to 2\n" + victoryScreen(loot, earned));
            EXPECT_EQ(player.level, 2);
            EXPECT_EQ(player.experienceToNext, 125);
            EXPECT_EQ(player.experienceStep, 50);
            EXPECT_EQ(player.skillPoints, 5);
        } else {
            EXPECT_EQ(transcript(), "<clear>" + victoryScreen(loot, earned));
            EXPECT_EQ(player.level, 1);
            EXPECT_EQ(player.experienceToNext, 50);
            EXPECT_EQ(player.experienceStep, 25);
            EXPECT_EQ(player.skillPoints, 0);
        }
        // Health and damage wait for the next refill and the next battle.
        EXPECT_EQ(player.maxHealth, 0);
        EXPECT_EQ(player.maxDamage, 0);
    }
}

TEST_F(Outcome, PassingTwoThresholdsLevelsUpOncePerVictory) {
    pin(kFirstSecond);
    enemy.level = 2;
    player.experience = 124;
    showVictory();
    EXPECT_GE(player.experience, 130);
    EXPECT_EQ(player.level, 2);
    EXPECT_EQ(player.experienceToNext, 125);
    EXPECT_EQ(player.experienceStep, 50);
    EXPECT_EQ(player.skillPoints, 5);
    EXPECT_EQ(count("You have leveled up"), 1u);

    // The next victory finds the grown threshold passed already.
    const Player afterFirst = player;
    pin(kFirstSecond + 1);
    player = afterFirst;
    enemy.level = 2;
    showVictory();
    EXPECT_EQ(player.level, 3);
    EXPECT_EQ(player.experienceToNext, 300);
    EXPECT_EQ(player.experienceStep, 100);
    EXPECT_EQ(player.skillPoints, 10);
    EXPECT_GE(player.gold - afterFirst.gold, 10);  // loot of a level-2 hero
    EXPECT_LE(player.gold - afterFirst.gold, 16);
    EXPECT_TRUE(transcript().starts_with("<clear>You have leveled up to 3\nYou have looted "))
        << transcript();
}

TEST_F(Outcome, DeathPenaltyNeverTakesGoldBelowZero) {
    Spread penalties;
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 300; ++second) {
        // The worked example: a level-4 hero dies with 10 gold.
        pin(second);
        player.level = 4;
        player.gold = 10;
        player.experience = 200;
        player.skillPoints = 3;
        player.health = -12;
        showDeath();
        const std::int32_t penalty = rollRangeAt(second, 4, 12);
        penalties.add(penalty);
        ASSERT_EQ(transcript(),
                  "<clear>You have died\nYou have lost " + std::to_string(penalty) + " gold\n" + kPause);
        ASSERT_EQ(player.gold, std::max(0, 10 - penalty));
        ASSERT_EQ(player.experience, 200);
        ASSERT_EQ(player.level, 4);
        ASSERT_EQ(player.skillPoints, 3);
        ASSERT_EQ(player.health, -12);
        ASSERT_FALSE(inBattle);
    }
    EXPECT_EQ(penalties.low, 4);
    EXPECT_EQ(penalties.high, 12);

    // No gold: no loss line.
    pin(kFirstSecond);
    player.level = 4;
    showDeath();
    EXPECT_EQ(transcript(), "<clear>You have died\n" + kPause);
    EXPECT_EQ(player.gold, 0);

    // Less gold than the penalty: all of it goes, and the full penalty is named.
    pin(kFirstSecond);
    player.level = 4;
    player.gold = 3;
    showDeath();
    EXPECT_EQ(transcript(), "<clear>You have died\nYou have lost " +
                                std::to_string(rollRangeAt(kFirstSecond, 4, 12)) + " gold\n" + kPause);
    EXPECT_EQ(player.gold, 0);
}

TEST_F(Outcome, NumbersSaturateAtTheirLimits) {
    // Rich and experienced: gold, experience and the thresholds stop at the top.
    pin(kFirstSecond);
    enemy.level = 32;
    player.gold = kMax - 3;
    player.experience = kMax - 1;
    player.experienceToNext = kMax - 1;
    player.experienceStep = kMax - 1;
    showVictory();
    EXPECT_EQ(player.gold, kMax);
    EXPECT_EQ(player.experience, kMax);
    EXPECT_EQ(player.experienceToNext, kMax);
    EXPECT_EQ(player.experienceStep, kMax);
    EXPECT_EQ(player.level, 2);

    // A hero at the highest level: every level-scaled draw is at the top.
    pin(kFirstSecond);
    enemy.level = kMax;
    player.level = kMax;
    player.skillPoints = kMax;
    player.experienceToNext = 0;
    showVictory();
    EXPECT_EQ(transcript(), "<clear>You have leveled up to 2147483647\n" + victoryScreen(kMax, kMax));
    EXPECT_EQ(player.gold, kMax);
    EXPECT_EQ(player.level, kMax);
    EXPECT_EQ(player.skillPoints, kMax);
    EXPECT_GE(player.experienceToNext, 0);

    pin(kFirstSecond);
    player.level = kMax;
    player.gold = kMax;
    showDeath();
    EXPECT_EQ(transcript(), "<clear>You have died\nYou have lost 2147483647 gold\n" + kPause);
    EXPECT_EQ(player.gold, 0);
}

}  // namespace
}  // namespace talvoren::testing
