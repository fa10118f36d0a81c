// The two ends of a battle as the player reads them: the victory screen with
// and without a level-up, and the death screen with and without gold. What
// the rewards and the penalty come to is the fight rules' own test.
#include <string>

#include "combat/battle.h"
#include "console/game_context.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;

class Outcome : public GameSession {
protected:
    void SetUp() override {
        GameSession::SetUp();
        test_support::startFreshGame(console, clock, files, &dice);
    }

    // The dice roll `afterwards` from now on; an Enter waits for the screen's pause.
    void roll(ScriptedDice::Afterwards afterwards) {
        dice = ScriptedDice({}, afterwards);
        console.clearTranscript();
        console.type("\n");
        state().inBattle = true;
    }
    ScriptedDice dice;
};

TEST_F(Outcome, VictoryScreenNamesTheRewardsBelowALevelUp) {
    // A new hero beats a level-2 Bear, the dice rolling lowest.
    state().enemy.level = 2;
    roll(ScriptedDice::Afterwards::Lowest);
    showVictory(state().player, state().enemy);
    EXPECT_EQ(transcript(), "<clear>You have looted 5 gold\nYou have earned 9 experience\n" + kPause);
    EXPECT_FALSE(state().inBattle);

    // Another, rolling highest, takes 41 experience past the 50 of level 2.
    state().player.experience = 41;
    roll(ScriptedDice::Afterwards::Highest);
    showVictory(state().player, state().enemy);
    EXPECT_EQ(
        transcript(),
        "<clear>You have leveled up to 2\nYou have looted 8 gold\nYou have earned 10 experience\n" + kPause);
    EXPECT_FALSE(state().inBattle);
    EXPECT_EQ(state().player.gold, 13);  // what the two screens named, paid
}

TEST_F(Outcome, DeathScreenNamesTheLossOnlyWhenThereIsGold) {
    // A level-4 hero dies with 10 gold; the penalty of 12 takes all of it and is named in full.
    state().player.level = 4;
    state().player.gold = 10;
    roll(ScriptedDice::Afterwards::Highest);
    showDeath(state().player);
    EXPECT_EQ(transcript(), "<clear>You have died\nYou have lost 12 gold\n" + kPause);
    EXPECT_FALSE(state().inBattle);

    // Dying again, with the gold gone: no loss line.
    roll(ScriptedDice::Afterwards::Lowest);
    showDeath(state().player);
    EXPECT_EQ(transcript(), "<clear>You have died\n" + kPause);
    EXPECT_FALSE(state().inBattle);
}

}  // namespace
}  // namespace talvoren::testing
