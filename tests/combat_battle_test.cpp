// Whole battles on the simulated console: the intro, the turn screen, what
// Attack, Heal, Flee and the hidden choice do, and how a fight ends.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "character/records.h"
#include "combat/battle.h"
#include "combat/random.h"
#include "console/input.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

constexpr std::int64_t kFirstSecond = 1'700'000'000;
// The two flavour pauses: the first turn starts this long after the battle.
constexpr std::int64_t kFirstTurnMs = 4000;
constexpr std::int64_t kFrameMs = 50;
constexpr std::array<const char*, 4> kKinds{"Bear", "Hippopotamus", "Wasp", "Raven"};

class Battle : public GameSession {
protected:
    // Starts afresh with the calendar at the first second from which a battle
    // over levels lo..hi meets a `kind` of `level`: the level is drawn at the
    // start, the kind after the two flavour pauses. Returns that second.
    std::int64_t arrange(const std::string& kind, std::int32_t level, std::int32_t lo, std::int32_t hi) {
        for (std::int64_t second = kFirstSecond; second < kFirstSecond + 10'000; ++second) {
            if (rollRangeAt(second, lo, hi) == level &&
                kind == kKinds[static_cast<std::size_t>(rollRangeAt(second + 4, 0, 3))]) {
                resetGameState();
                gameInput().reset();
                console = SimulatedPlatform(second);
                player.name = "Aldo";
                player.health = 156;
                player.maxHealth = 156;
                return second;
            }
        }
        ADD_FAILURE() << "no second meets a level " << level << ' ' << kind;
        return kFirstSecond;
    }

    // Scripts a press of the bar that starts at `barStartMs`, seen when frame
    // `filled` is drawn, the Enter of the pause after it, then `then`.
    void pressBar(std::int64_t barStartMs, std::int64_t filled, const std::string& then) {
        console.typeAt(barStartMs + (filled - 1) * kFrameMs, " \n\n" + then);
    }

    std::string turnScreen() const {
        return enemy.name + " [" + std::to_string(enemy.health) + "/" + std::to_string(enemy.maxHealth) +
               "]\nLvl " + std::to_string(enemy.level) + " | " + std::to_string(enemy.minDamage) + " -> " +
               std::to_string(enemy.maxDamage) + " dmg\n" + player.name + " [" +
               std::to_string(player.health) + "/" + std::to_string(player.maxHealth) +
               "]\nLvl 1 | 18 -> 31 dmg\n" + kRule + "[1] Attack\n[2] Heal\n[99] Flee\n> ";
    }
};

TEST_F(Battle, IntroShowsTheMonsterAndItsPictureThenTheTurnScreen) {
    arrange("Raven", 3, 1, 3);  // no pictures in the folder yet
    console.type("\n99\n");
    EXPECT_EQ(runBattle(1, 3), "lost");
    EXPECT_EQ(console.screens()[2],
              "You have encountered a level 3 Raven[!]\n" + kRule + "Unable to open file\n" + kRule + kPause);

    arrange("Bear", 2, 1, 3);
    addPictures();
    console.type("\n99\n");
    EXPECT_EQ(runBattle(1, 3), "lost");
    const std::vector<std::string> screens = console.screens();
    ASSERT_EQ(screens.size(), 4u);  // flavour lines, intro, one turn
    EXPECT_EQ(screens[2],
              "You have encountered a level 2 Bear[!]\n" + kRule + readFile("bear.txt") + kRule + kPause);
    EXPECT_EQ(screens[3], turnScreen());
}

TEST_F(Battle, AttackGradeScalesTheHerosBlowButTheMonsterAlwaysStrikes) {
    struct Case {
        std::int64_t filled;
        const char* grade;
        int factor;
    };
    for (const Case& c :
         {Case{1, "Hit", 1}, Case{20, "Critical", 2}, Case{25, "Critical", 2}, Case{30, "Miss", 0}}) {
        const std::int64_t second = arrange("Bear", 2, 1, 3);
        console.type("\n1\n");
        pressBar(kFirstTurnMs, c.filled, "99\n");
        EXPECT_EQ(runBattle(1, 3), "lost");

        // Both draws are made as the turn starts, in the fourth second.
        const std::int32_t blow = c.factor * rollRangeAt(second + 4, 18, 31);
        const std::int32_t strike = rollRangeAt(second + 4, enemy.minDamage, enemy.maxDamage);
        EXPECT_GT(strike, 0);
        EXPECT_EQ(player.lastHit, blow);
        EXPECT_EQ(enemy.lastHit, strike);
        EXPECT_EQ(enemy.health, enemy.maxHealth - blow);
        EXPECT_EQ(player.health, 156 - strike);
        const std::vector<std::string> screens = console.screens();
        ASSERT_EQ(screens.size(), 6u);  // flavour, intro, turn, bar, turn
        EXPECT_TRUE(screens[4].ends_with("]\n" + std::string(c.grade) + "\nYou did: " + std::to_string(blow) +
                                         " damage to the Bear\nThe Bear did " + std::to_string(strike) +
                                         " damage to you\n" + kPause))
            << screens[4];
        EXPECT_EQ(screens[5], turnScreen());
        EXPECT_EQ(console.keyModeEntries(), 1);
    }
}

TEST_F(Battle, HealIsGradedCappedAndSparesTheMonstersTurn) {
    const std::int64_t second = arrange("Bear", 2, 1, 3);
    player.health = 140;
    console.type("\n2\n");
    pressBar(kFirstTurnMs, 30, "2\n");                  // Miss: ends at 4000 + 30 frames
    pressBar(kFirstTurnMs + 30 * kFrameMs, 1, "99\n");  // Hit at once
    EXPECT_EQ(runBattle(1, 3), "lost");

    const std::vector<std::string> screens = console.screens();
    ASSERT_EQ(screens.size(), 8u);
    EXPECT_TRUE(screens[4].ends_with("]\nMiss\nYou healed: 0 damage\n" + kPause)) << screens[4];
    EXPECT_NE(screens[5].find("Aldo [140/156]"), std::string::npos) << screens[5];
    // The second heal is drawn in the fifth second; the full amount is shown
    // although the cap restored only 16.
    const std::int32_t healed = rollRangeAt(second + 5, 18, 31);
    EXPECT_TRUE(screens[6].ends_with("]\nHit\nYou healed: " + std::to_string(healed) + " damage\n" + kPause))
        << screens[6];
    EXPECT_EQ(player.health, 156);
    EXPECT_EQ(screens[7], turnScreen());
    EXPECT_EQ(enemy.lastHit, 0);
    EXPECT_EQ(enemy.health, enemy.maxHealth);
    EXPECT_EQ(count("damage to you"), 0u);
}

TEST_F(Battle, HealthDecidesTheEndHeroFirst) {
    struct Case {
        const char* what;
        std::int32_t health, agility;
        const char* choice;
        std::int64_t filled;
        const char* result;
        const char* lastScreenStart;
    };
    const std::vector<Case> cases{
        // Both fall in one turn: the hero is looked at first.
        {"both fall", 1, 0, "1", 1, "lost", "You have died\n"},
        // A monster born with 0 health falls to the first turn the hero survives, even a Miss.
        {"empty monster", 156, 0, "1", 30, "won", "You have looted "},
        // No health test before the first choice: the turn screen shows, the Attack then loses.
        {"dead hero attacks", 0, 5, "1", 20, "lost", "You have died\n"},
    };
    for (const Case& c : cases) {
        arrange("Bear", 2, 1, 3);
        player.health = c.health;
        player.agility = c.agility;
        console.type(std::string("\n") + c.choice + "\n");
        pressBar(kFirstTurnMs, c.filled, "\n");
        EXPECT_EQ(runBattle(1, 3), c.result) << c.what;
        EXPECT_FALSE(inBattle) << c.what;
        const std::vector<std::string> screens = console.screens();
        ASSERT_EQ(screens.size(), 6u) << c.what;
        EXPECT_NE(screens[3].find("Aldo [" + std::to_string(c.health) + "/156]"), std::string::npos)
            << c.what;
        EXPECT_TRUE(screens[5].starts_with(c.lastScreenStart)) << c.what << ": " << screens[5];
    }

    // A heal can lift a fallen hero before anything else happens.
    const std::int64_t second = arrange("Bear", 2, 1, 3);
    player.health = 0;
    console.type("\n2\n");
    pressBar(kFirstTurnMs, 1, "99\n");
    EXPECT_EQ(runBattle(1, 3), "lost");
    EXPECT_EQ(player.health, rollRangeAt(second + 4, 18, 31));
    EXPECT_EQ(count("You have died"), 0u);
}

TEST_F(Battle, FleeCostsNothingAndTheHiddenChoiceWinsWithFullRewards) {
    arrange("Bear", 2, 1, 3);
    player.gold = 7;
    player.experience = 3;
    console.type("\n99\n");
    EXPECT_EQ(runBattle(1, 3), "lost");
    EXPECT_FALSE(inBattle);
    EXPECT_EQ(player.gold, 7);
    EXPECT_EQ(player.experience, 3);
    EXPECT_EQ(player.level, 1);
    EXPECT_TRUE(transcript().ends_with("[99] Flee\n> "));  // no message, no pause

    const std::int64_t second = arrange("Bear", 2, 1, 3);
    player.gold = 7;
    player.experience = 3;
    console.type("\n6142\n\n");
    EXPECT_EQ(runBattle(1, 3), "won");
    EXPECT_FALSE(inBattle);
    const std::int32_t loot = rollRangeAt(second + 4, 5, 8);
    const std::int32_t earned = static_cast<std::int32_t>(1.5 * rollRangeAt(second + 4, 6, 7));
    EXPECT_EQ(player.gold, 7 + loot);
    EXPECT_EQ(player.experience, 3 + earned);
    EXPECT_EQ(enemy.health, enemy.maxHealth);  // not a blow struck
    const std::vector<std::string> screens = console.screens();
    ASSERT_EQ(screens.size(), 5u);
    EXPECT_EQ(screens[3], turnScreen());
    EXPECT_EQ(screens[4], "You have looted " + std::to_string(loot) + " gold\nYou have earned " +
                              std::to_string(earned) + " experience\n" + kPause);
}

TEST_F(Battle, AnswersOffTheMenuRedrawTheSameTurnScreen) {
    struct Case {
        const char* answers;
        std::size_t redraws;
    };
    for (const Case& c : {Case{"abc def\n", 1}, Case{"0\n3\n100\n", 3}, Case{"-1\n99999999999\n", 2}}) {
        arrange("Bear", 2, 1, 3);
        console.type(std::string("\n") + c.answers + "99\n");
        EXPECT_EQ(runBattle(1, 3), "lost") << c.answers;
        const std::vector<std::string> screens = console.screens();
        ASSERT_EQ(screens.size(), 4 + c.redraws) << c.answers;
        for (std::size_t turn = 3; turn < screens.size(); ++turn) EXPECT_EQ(screens[turn], turnScreen());
        EXPECT_EQ(player.health, 156);
        EXPECT_EQ(enemy.health, enemy.maxHealth);
        EXPECT_EQ(console.keyModeEntries(), 0);
        EXPECT_EQ(console.unreadInput(), 0u);
    }
}

}  // namespace
}  // namespace talvoren::testing
