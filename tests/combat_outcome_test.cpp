// The two ends of a battle as the player reads them: the victory screen with
// and without a level-up, the death screen with and without gold, and both
// at the limits of the numbers.
#include <cstdint>
#include <limits>
#include <string>

#include "combat/battle.h"
#include "console/game_context.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

class Outcome : public GameSession {
protected:
    // The dice roll `afterwards` from now on; an Enter waits for the screen's pause.
    void roll(ScriptedDice::Afterwards afterwards) {
        dice = ScriptedDice({}, afterwards);
        game().setDice(dice);
        console.clearTranscript();
        console.type("\n");
        inBattle = true;
    }
    ScriptedDice dice;
};

TEST_F(Outcome, VictoryPaysAndLevelsUpAboveTheRewardLines) {
    // A new hero beats a level-2 Bear, the dice rolling lowest: 5 gold, 9 experience.
    enemy.level = 2;
    roll(ScriptedDice::Afterwards::Lowest);
    showVictory();
    EXPECT_EQ(transcript(), "<clear>You have looted 5 gold\nYou have earned 9 experience\n" + kPause);
    EXPECT_EQ(player.gold, 5);
    EXPECT_EQ(player.experience, 9);
    EXPECT_FALSE(inBattle);

    // Another, rolling highest, takes 41 experience to 51, past the 50 of level 2.
    player.experience = 41;
    roll(ScriptedDice::Afterwards::Highest);
    showVictory();
    EXPECT_EQ(
        transcript(),
        "<clear>You have leveled up to 2\nYou have looted 8 gold\nYou have earned 10 experience\n" + kPause);
    EXPECT_EQ(player.level, 2);
    EXPECT_EQ(player.skillPoints, 5);
    EXPECT_EQ(player.gold, 13);
    EXPECT_FALSE(inBattle);
}

TEST_F(Outcome, DeathCostsGoldOnlyWhenThereIsSome) {
    // A level-4 hero dies with 10 gold; the penalty of 12 takes all of it and is named in full.
    player.level = 4;
    player.gold = 10;
    player.experience = 200;
    player.skillPoints = 3;
    player.health = -12;
    roll(ScriptedDice::Afterwards::Highest);
    showDeath();
    EXPECT_EQ(transcript(), "<clear>You have died\nYou have lost 12 gold\n" + kPause);
    EXPECT_EQ(player.gold, 0);
    EXPECT_EQ(player.experience, 200);
    EXPECT_EQ(player.level, 4);
    EXPECT_EQ(player.skillPoints, 3);
    EXPECT_EQ(player.health, -12);
    EXPECT_FALSE(inBattle);

    // With no gold: no loss line.
    roll(ScriptedDice::Afterwards::Lowest);
    showDeath();
    EXPECT_EQ(transcript(), "<clear>You have died\n" + kPause);
    EXPECT_EQ(player.gold, 0);
}

TEST_F(Outcome, NumbersSaturateAtTheirLimits) {
    // A hero at the highest level: every level-scaled roll is at the top.
    enemy.level = kMax;
    player.level = kMax;
    player.skillPoints = kMax;
    player.experienceToNext = 0;
    roll(ScriptedDice::Afterwards::Lowest);
    showVictory();
    EXPECT_EQ(transcript(),
              "<clear>You have leveled up to 2147483647\nYou have looted 2147483647 gold\n"
              "You have earned 2147483647 experience\n" +
                  kPause);
    EXPECT_EQ(player.gold, kMax);
    EXPECT_EQ(player.level, kMax);
    EXPECT_EQ(player.skillPoints, kMax);
    EXPECT_GE(player.experienceToNext, 0);

    roll(ScriptedDice::Afterwards::Lowest);
    showDeath();
    EXPECT_EQ(transcript(), "<clear>You have died\nYou have lost 2147483647 gold\n" + kPause);
    EXPECT_EQ(player.gold, 0);
}

}  // namespace
}  // namespace talvoren::testing
