// Whole battles on the simulated console: the intro, the turn screen, what
// Attack, Heal, Flee and the hidden choice do, and how a fight ends. The
// dice are scripted, so each fight is a worked example.
#include <cstdint>
#include <string>
#include <vector>

#include "combat/battle.h"
#include "console/game_context.h"
#include "fresh_game.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;

// The two flavour pauses: the first turn's bar starts this long after the battle.
constexpr std::int64_t kFirstTurnMs = 4000;
constexpr std::int64_t kFrameMs = 50;

class Battle : public GameSession {
protected:
    void SetUp() override {
        GameSession::SetUp();
        startOver();
    }

    // A fresh run on a fresh console, with Aldo, a new hero, at full health.
    void startOver() {
        clock = SimulatedClock();
        console = SimulatedTerminal(clock);
        dice = ScriptedDice();
        test_support::startFreshGame(console, clock, files, &dice);
        state().player.name = "Aldo";
        state().player.health = 156;
        state().player.maxHealth = 156;
    }

    // The fight meets a level-2 Bear with 15 to 30 damage and 232 health (the
    // lowest rolls, grown by half for its level); the rolls after that are
    // `turns`, then the low end of every range.
    void meetBear(const std::vector<std::int32_t>& turns = {}) {
        std::vector<std::int32_t> rolls{2, 0, 0, 0, 20, 10, 155};
        rolls.insert(rolls.end(), turns.begin(), turns.end());
        dice = ScriptedDice(rolls);
    }

    // Aldo's battle against a monster of level 1 to 3.
    BattleResult fight() { return runBattle(state().player, state().enemy, 1, 3); }

    // Scripts a press of the bar that starts at `barStartMs`, seen when frame
    // `filled` is drawn, the Enter of the pause after it, then `then`.
    void pressBar(std::int64_t barStartMs, std::int64_t filled, const std::string& then) {
        console.typeAt(barStartMs + (filled - 1) * kFrameMs, " \n\n" + then);
    }

    ScriptedDice dice;
};

// The turn screen of Aldo, a new hero, against the level-2 Bear.
std::string turnScreen(int bearHealth, int aldoHealth) {
    return "Bear [" + std::to_string(bearHealth) + "/232]\nLvl 2 | 15 -> 30 dmg\nAldo [" +
           std::to_string(aldoHealth) + "/156]\nLvl 1 | 18 -> 31 dmg\n" + kRule +
           "[1] Attack\n[2] Heal\n[99] Flee\n> ";
}

TEST_F(Battle, IntroShowsTheMonsterAndItsPictureThenTheTurnScreen) {
    dice = ScriptedDice({3, 0, 0, 3});  // a level-3 Raven; no pictures in the folder yet
    console.type("\n99\n");
    EXPECT_EQ(fight(), BattleResult::Lost);
    EXPECT_EQ(console.screens()[1], "Walking around and sniffing flowers\nYou square up\n");
    EXPECT_EQ(console.screens()[2],
              "You have encountered a level 3 Raven[!]\n" + kRule + "Unable to open file\n" + kRule + kPause);

    startOver();
    meetBear();
    addPictures();
    console.type("\n99\n");
    EXPECT_EQ(fight(), BattleResult::Lost);
    const std::vector<std::string> screens = console.screens();
    ASSERT_EQ(screens.size(), 4u);  // flavour lines, intro, one turn
    EXPECT_EQ(screens[2],
              "You have encountered a level 2 Bear[!]\n" + kRule + readFile("bear.txt") + kRule + kPause);
    EXPECT_EQ(screens[3], turnScreen(232, 156));
}

TEST_F(Battle, AttackGradeScalesTheHerosBlowButTheMonsterAlwaysStrikes) {
    struct Case {
        std::int64_t filled;
        const char* grade;
        int blow;
    };
    for (const Case& c :
         {Case{1, "Hit", 25}, Case{20, "Critical", 50}, Case{25, "Critical", 50}, Case{30, "Miss", 0}}) {
        SCOPED_TRACE(c.grade);
        startOver();
        meetBear({25, 17});  // Aldo rolls 25, the Bear 17
        console.type("\n1\n");
        pressBar(kFirstTurnMs, c.filled, "99\n");
        EXPECT_EQ(fight(), BattleResult::Lost);

        const std::vector<std::string> screens = console.screens();
        ASSERT_EQ(screens.size(), 6u);  // flavour, intro, turn, bar, turn
        EXPECT_TRUE(screens[4].ends_with("]\n<colour default>" + std::string(c.grade) +
                                         "\nYou did: " + std::to_string(c.blow) +
                                         " damage to the Bear\nThe Bear did 17 damage to you\n" + kPause))
            << screens[4];
        EXPECT_EQ(screens[5], turnScreen(232 - c.blow, 139));
        EXPECT_EQ(state().player.lastHit, c.blow);
        EXPECT_EQ(state().enemy.lastHit, 17);
        EXPECT_EQ(console.keyModeEntries(), 1);
    }
}

TEST_F(Battle, HealIsGradedCappedAndSparesTheMonstersTurn) {
    state().player.health = 140;
    meetBear({20, 25});  // two heals: 20, then 25
    console.type("\n2\n");
    pressBar(kFirstTurnMs, 30, "2\n");                  // Miss: ends at 4000 + 30 frames
    pressBar(kFirstTurnMs + 30 * kFrameMs, 1, "99\n");  // Hit at once
    EXPECT_EQ(fight(), BattleResult::Lost);

    const std::vector<std::string> screens = console.screens();
    ASSERT_EQ(screens.size(), 8u);
    EXPECT_TRUE(screens[4].ends_with("]\n<colour default>Miss\nYou healed: 0 damage\n" + kPause))
        << screens[4];
    EXPECT_EQ(screens[5], turnScreen(232, 140));
    // The full 25 is shown although the ceiling let only 16 of it count.
    EXPECT_TRUE(screens[6].ends_with("]\n<colour default>Hit\nYou healed: 25 damage\n" + kPause))
        << screens[6];
    EXPECT_EQ(screens[7], turnScreen(232, 156));
    EXPECT_EQ(state().enemy.lastHit, 0);
    EXPECT_EQ(count("damage to you"), 0u);
    // A heal rolls from the hero's damage range.
    EXPECT_EQ(dice.ranges()[7], (std::pair<std::int32_t, std::int32_t>{18, 31}));
}

TEST_F(Battle, HealthDecidesTheEndHeroFirst) {
    struct Case {
        const char* what;
        std::int32_t health, agility;
        std::int64_t filled;
        BattleResult result;
        const char* lastScreen;
    };
    const std::vector<Case> cases{
        // Both fall in one turn: the hero is looked at first.
        {"both fall", 1, 0, 1, BattleResult::Lost, "You have died\n"},
        // A monster born with 0 health (the hero has no Agility) falls to the
        // first turn the hero survives, even a Miss.
        {"empty monster", 156, 0, 30, BattleResult::Won,
         "You have looted 5 gold\nYou have earned 9 experience\n"},
        // No health test before the first choice: the turn screen shows, the Attack then loses.
        {"dead hero attacks", 0, 5, 20, BattleResult::Lost, "You have died\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startOver();
        state().player.health = c.health;
        state().player.agility = c.agility;
        dice = ScriptedDice({2, 0, 0, 0, 20, 10, 31 * c.agility, 25, 17});
        console.type("\n1\n");
        pressBar(kFirstTurnMs, c.filled, "\n");
        EXPECT_EQ(fight(), c.result);
        EXPECT_FALSE(state().inBattle);
        const std::vector<std::string> screens = console.screens();
        ASSERT_EQ(screens.size(), 6u);
        EXPECT_NE(screens[3].find("Aldo [" + std::to_string(c.health) + "/156]"), std::string::npos);
        EXPECT_EQ(screens[5], c.lastScreen + kPause);
    }

    // A heal can lift a fallen hero before anything else happens.
    startOver();
    state().player.health = 0;
    meetBear({22});
    console.type("\n2\n");
    pressBar(kFirstTurnMs, 1, "99\n");
    EXPECT_EQ(fight(), BattleResult::Lost);
    EXPECT_EQ(state().player.health, 22);
    EXPECT_EQ(count("You have died"), 0u);
}

TEST_F(Battle, FleeCostsNothingAndTheHiddenChoiceWinsWithFullRewards) {
    meetBear();
    state().player.gold = 7;
    state().player.experience = 3;
    console.type("\n99\n");
    EXPECT_EQ(fight(), BattleResult::Lost);
    EXPECT_FALSE(state().inBattle);
    EXPECT_EQ(state().player.gold, 7);
    EXPECT_EQ(state().player.experience, 3);
    EXPECT_TRUE(transcript().ends_with("[99] Flee\n> "));  // no message, no pause

    startOver();
    meetBear({8, 7});  // the most a new hero can loot and earn from it
    state().player.gold = 7;
    state().player.experience = 3;
    console.type("\n6142\n\n");
    EXPECT_EQ(fight(), BattleResult::Won);
    EXPECT_FALSE(state().inBattle);
    EXPECT_EQ(state().player.gold, 15);
    EXPECT_EQ(state().player.experience, 13);
    EXPECT_EQ(state().enemy.health, 232);  // not a blow struck
    const std::vector<std::string> screens = console.screens();
    ASSERT_EQ(screens.size(), 5u);
    EXPECT_EQ(screens[3], turnScreen(232, 156));
    EXPECT_EQ(screens[4], "You have looted 8 gold\nYou have earned 10 experience\n" + kPause);
}

TEST_F(Battle, AnswersOffTheMenuRedrawTheSameTurnScreen) {
    struct Case {
        const char* answers;
        std::size_t redraws;
    };
    for (const Case& c : {Case{"abc def\n", 1}, Case{"0\n3\n100\n", 3}, Case{"-1\n99999999999\n", 2}}) {
        SCOPED_TRACE(c.answers);
        startOver();
        meetBear();
        console.type(std::string("\n") + c.answers + "99\n");
        EXPECT_EQ(fight(), BattleResult::Lost);
        const std::vector<std::string> screens = console.screens();
        ASSERT_EQ(screens.size(), 4 + c.redraws);
        for (std::size_t turn = 3; turn < screens.size(); ++turn)
            EXPECT_EQ(screens[turn], turnScreen(232, 156));
        EXPECT_EQ(console.keyModeEntries(), 0);
        EXPECT_EQ(console.unreadInput(), 0u);
    }
}

}  // namespace
}  // namespace talvoren::testing
