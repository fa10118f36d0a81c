#include <cstdint>
#include <limits>
#include <string>

#include "character/character_sheet.h"
#include "fresh_game.h"
#include "persistence/save_file.h"
#include "rules/fight.h"
#include "rules/records.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(Records, NewHeroAsThePlayerMeetsIt) {
    GameState fresh;
    // Saved at once: level 1, Intelligence, Strength and Agility 5, no gold, step 25, 0 of 50
    // experience, no skill points, at the first step of the road with no fights won.
    EXPECT_EQ(formatSave(fresh.player, fresh.progress(), "\n"),
              "Act 1\n\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0");
    // The holding record of a save not yet loaded is a new hero too.
    EXPECT_EQ(formatSave(fresh.loadedPlayer, fresh.loadedProgress, "\n"),
              formatSave(fresh.player, Progress{}, "\n"));
    // No monster met yet: nameless, level 0, no health, no blow struck.
    EXPECT_EQ(fresh.enemy.name, "");
    EXPECT_EQ(fresh.enemy.level, 0);
    EXPECT_EQ(fresh.enemy.maxHealth, 0);
    EXPECT_EQ(fresh.enemy.lastHit, 0);
    // The first refill gives 156 hit points, the first fight 18 to 31 damage.
    restoreHealth(fresh.player);
    EXPECT_EQ(fresh.player.health, 156);
    EXPECT_EQ(fresh.player.maxHealth, 156);
    EXPECT_EQ(heroDamageRange(fresh.player).low, 18);
    EXPECT_EQ(heroDamageRange(fresh.player).high, 31);
    EXPECT_TRUE(fresh.actRunning);
    EXPECT_TRUE(fresh.gateFlag);
    EXPECT_FALSE(fresh.inBattle);
}

TEST(Records, FullHealthFollowsLevelAndIntelligenceAndSaturates) {
    struct Case {
        std::int32_t level, intelligence, expected;
    };
    // 1.25 x 150 = 187.5 gives 187 and -156.25 gives -156 (toward zero); at the limits even
    // Intelligence x 25 alone is past 32 bits.
    const Case cases[] = {
        {1, 5, 156},     {2, 5, 187},     {3, 5, 218},        {4, 5, 250},     {1, 6, 187},
        {1, -5, -156},   {-4, 5, 0},      {1, 0, 0},          {1, kMax, kMax}, {1, kMin, kMin},
        {kMax, 5, kMax}, {kMin, 5, kMin}, {kMin, kMax, kMin},
    };
    for (const Case& each : cases) {
        Player hero;
        hero.level = each.level;
        hero.intelligence = each.intelligence;
        EXPECT_EQ(fullHealth(hero), each.expected)
            << "level " << each.level << ", intelligence " << each.intelligence;
    }
    Player third;
    third.level = 3;
    third.health = 1;
    restoreHealth(third);
    EXPECT_EQ(third.health, 218);
    EXPECT_EQ(third.maxHealth, 218);
}

// The character sheet, drawn straight from the game records.

std::string sheet(const std::string& rows, const std::string& pointLine) {
    return "<clear>" + kRule + rows + kRule + pointLine + "[99] Exit\n> ";
}

std::string spendingScreen(int points, int strength, int intelligence, int agility) {
    return "<clear>You have " + std::to_string(points) + " skill points remaining\n[1] Strength -" +
           std::to_string(strength) + "-\n[2] Intelligence -" + std::to_string(intelligence) +
           "-\n[3] Agility -" + std::to_string(agility) + "-\n> ";
}

const std::string kAnaRows =
    "Ana\nGold 0\nLevel 1\nXP [0/50]\nGold 0\nStrength 5\nIntelligence 5\nAgility 5\n";

using CharacterSheet = GameSession;

TEST_F(CharacterSheet, WithoutPointsChoosingOneReturnsAtOnce) {
    state().player.name = "Ana";
    console.type("1\n");
    showCharacterStats();
    EXPECT_EQ(transcript(), sheet(kAnaRows, ""));

    // Below zero (only a hand-edited save gets there) behaves the same.
    console.clearTranscript();
    state().player.skillPoints = -3;
    console.type("1\n");
    showCharacterStats();
    EXPECT_EQ(transcript(), sheet(kAnaRows, ""));
    EXPECT_EQ(state().player.skillPoints, -3);
    EXPECT_EQ(console.unreadInput(), 0u);
}

TEST_F(CharacterSheet, ShowsEveryValueAndAnyChoiceButOneLeaves) {
    state().player.name = "Bo Rin";
    state().player.gold = 1234;
    state().player.level = 7;
    state().player.experience = -20;
    state().player.experienceToNext = 700;
    state().player.strength = 11;
    state().player.intelligence = 12;
    state().player.agility = 13;
    state().player.skillPoints = 2;
    console.type("99\n");
    showCharacterStats();
    EXPECT_EQ(transcript(),
              sheet("Bo Rin\nGold 1234\nLevel 7\nXP [-20/700]\nGold 1234\nStrength 11\nIntelligence 12\n"
                    "Agility 13\n",
                    "[1] You have 2 skill points unassigned\n"));
    EXPECT_EQ(state().player.skillPoints, 2);
}

TEST_F(CharacterSheet, OnePointTakesOneChoice) {
    state().player.name = "Ana";
    state().player.skillPoints = 1;
    console.type("1\n2\n");
    showCharacterStats();
    EXPECT_EQ(transcript(),
              sheet(kAnaRows, "[1] You have 1 skill points unassigned\n") + spendingScreen(1, 5, 5, 5));
    EXPECT_EQ(state().player.intelligence, 6);
    EXPECT_EQ(state().player.skillPoints, 0);
    EXPECT_EQ(console.unreadInput(), 0u);
}

TEST_F(CharacterSheet, WrongChoicesRedrawWithTheCountUnchanged) {
    state().player.name = "Ana";
    state().player.skillPoints = 5;
    state().player.health = 100;
    state().player.maxHealth = 156;
    state().player.minDamage = 18;
    state().player.maxDamage = 31;
    console.type("1\n1\n4\n2\n0\n3\n99\nxyz 2\n1\n2\n");
    showCharacterStats();

    const auto screens = console.screens();
    ASSERT_EQ(screens.size(), 11u);  // before the first clear, the sheet, nine spending screens
    EXPECT_EQ("<clear>" + screens[1], sheet(kAnaRows, "[1] You have 5 skill points unassigned\n"));
    // Answers 1, 4, 2, 0, 3, 99, "xyz 2", 1, 2: the wrong ones redraw with the same count.
    const std::string expected[] = {
        spendingScreen(5, 5, 5, 5), spendingScreen(4, 6, 5, 5), spendingScreen(4, 6, 5, 5),
        spendingScreen(3, 6, 6, 5), spendingScreen(3, 6, 6, 5), spendingScreen(2, 6, 6, 6),
        spendingScreen(2, 6, 6, 6), spendingScreen(2, 6, 6, 6), spendingScreen(1, 7, 6, 6),
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ("<clear>" + screens[i + 2], expected[i]) << "spending screen " << i;
    }
    EXPECT_EQ(state().player.skillPoints, 0);
    EXPECT_EQ(state().player.strength, 7);
    EXPECT_EQ(state().player.intelligence, 7);
    EXPECT_EQ(state().player.agility, 6);
    // Derived values wait for the next refill or battle.
    EXPECT_EQ(state().player.health, 100);
    EXPECT_EQ(state().player.maxHealth, 156);
    EXPECT_EQ(state().player.minDamage, 18);
    EXPECT_EQ(state().player.maxDamage, 31);
    EXPECT_EQ(console.unreadInput(), 0u);
}

TEST_F(CharacterSheet, AttributeAtTheLimitStaysThere) {
    state().player.strength = kMax;
    state().player.skillPoints = 1;
    console.type("1\n1\n");
    showCharacterStats();
    EXPECT_EQ(state().player.strength, kMax);
    EXPECT_EQ(state().player.skillPoints, 0);
    EXPECT_NE(transcript().find("[1] Strength -2147483647-\n"), std::string::npos);
}

}  // namespace
}  // namespace talvoren::testing
