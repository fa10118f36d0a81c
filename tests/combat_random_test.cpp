// The random draw and the monsters it makes: ranges, the per-second reseed,
// the kind table and the flavour lines with their pauses.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "character/records.h"
#include "combat/encounter.h"
#include "combat/random.h"
#include "forwarding_console.h"
#include "session.h"

namespace talvoren::testing {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kFirstSecond = 1'700'000'000;

TEST(RollRange, StaysInsideItsRangeForEverySecond) {
    const std::vector<std::pair<std::int32_t, std::int32_t>> ranges{
        {0, 0}, {0, 3}, {0, 9}, {18, 31}, {-5, 5}, {kMin, kMin + 2}, {kMax - 1, kMax}, {kMin, kMax}};
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 2000; ++second) {
        for (const auto& [lo, hi] : ranges) {
            const std::int32_t value = rollRangeAt(second, lo, hi);
            ASSERT_GE(value, lo) << second;
            ASSERT_LE(value, hi) << second;
        }
        // The full 32-bit width is wider than any draw: the draw is added as it is.
        ASSERT_EQ(rollRangeAt(second, kMin, kMax),
                  kMin + static_cast<std::int64_t>(firstDrawAfterSeed(static_cast<std::uint32_t>(second))));
        ASSERT_EQ(rollRangeAt(second, kMax, kMax), kMax);
        // A range upside down has one defined answer: its low end.
        ASSERT_EQ(rollRangeAt(second, 5, 4), 5);
        ASSERT_EQ(rollRangeAt(second, kMax, kMin), kMax);
    }
}

TEST(RollRange, GeneratorIsPinnedAndNeverNegative) {
    // Every pinned monster, grade and reward in the tests rests on these
    // values: a change of the generator must be a deliberate one.
    EXPECT_EQ(firstDrawAfterSeed(0), 1'896'895'516u);
    EXPECT_EQ(firstDrawAfterSeed(1), 1'216'681'718u);
    EXPECT_EQ(firstDrawAfterSeed(1'700'000'000), 1'404'207'478u);
    EXPECT_EQ(firstDrawAfterSeed(0xFFFF'FFFFu), 970'497'489u);
    for (std::uint32_t seed = 0; seed < 100'000; ++seed) {
        ASSERT_LE(firstDrawAfterSeed(seed), static_cast<std::uint32_t>(kMax));
        ASSERT_LE(firstDrawAfterSeed(0xFFFF'FFFFu - seed), static_cast<std::uint32_t>(kMax));
    }
    // Only the low 32 bits of the calendar second seed the generator.
    EXPECT_EQ(rollRangeAt(-1, 0, 1'000'000), rollRangeAt(0xFFFF'FFFFLL, 0, 1'000'000));
    EXPECT_EQ(rollRangeAt(kFirstSecond + (1LL << 32), 0, 1'000'000), rollRangeAt(kFirstSecond, 0, 1'000'000));
}

TEST(RollRange, LevelFactorAndScalingSaturate) {
    EXPECT_EQ(levelFactor(2, 0.25), 1.5);
    EXPECT_EQ(levelFactor(10, 0.1), 2.0);
    EXPECT_EQ(levelFactor(0, 0.25), 1.0);
    EXPECT_TRUE(std::isfinite(levelFactor(kMax, 0.25)));

    EXPECT_EQ(scaleByFactor(1.5, 25), 37);  // truncated, not rounded
    EXPECT_EQ(scaleByFactor(1.5, -25), -37);
    EXPECT_EQ(scaleByFactor(1.2, 45), 54);
    EXPECT_EQ(scaleByFactor(levelFactor(kMax, 0.25), kMax), kMax);
    EXPECT_EQ(scaleByFactor(levelFactor(kMin, 0.25), kMax), kMin);
    EXPECT_EQ(scaleByFactor(2.0, kMax), kMax);
    EXPECT_EQ(scaleByFactor(std::numeric_limits<double>::infinity(), 1), kMax);
    EXPECT_EQ(scaleByFactor(std::numeric_limits<double>::quiet_NaN(), 1), 0);
}

using RandomDraw = GameSession;

TEST_F(RandomDraw, ReseedsFromTheCalendarSecondAtEveryCall) {
    console = SimulatedPlatform(kFirstSecond);
    const std::int32_t first = rollRange(0, 1'000'000);
    EXPECT_EQ(first, rollRangeAt(kFirstSecond, 0, 1'000'000));
    EXPECT_EQ(rollRange(0, 1'000'000), first);
    console.sleepMs(999);
    EXPECT_EQ(rollRange(0, 1'000'000), first);  // still the same second
    console.sleepMs(1);
    EXPECT_EQ(rollRange(0, 1'000'000), rollRangeAt(kFirstSecond + 1, 0, 1'000'000));
    EXPECT_NE(rollRange(0, 1'000'000), first);
}

// The monster table as the game describes it.
struct KindRow {
    const char* name;
    double weight;
    std::int32_t maxLow, maxHigh, minLow, minHigh, healthLow, healthHigh;
    bool healthScales;
};
constexpr std::array<KindRow, 4> kTable{{
    {"Bear", 0.25, 4, 5, 2, 3, 31, 34, true},
    {"Hippopotamus", 0.25, 5, 6, 3, 4, 29, 32, true},
    {"Wasp", 0.1, 8, 9, 7, 8, 23, 25, false},
    {"Raven", 0.1, 3, 4, 1, 2, 20, 25, true},
}};

const KindRow* rowNamed(const std::string& name) {
    for (const KindRow& row : kTable) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

// Lowest and highest value seen of each stat.
struct Spread {
    std::int32_t low = kMax, high = kMin;
    void add(std::int32_t value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
};
struct StatSpread {
    Spread maxDamage, minDamage, health;
};

// Hands everything to the simulated console and notes the virtual time at
// which each piece of text was written. With `secondPerDraw`, every look at
// the calendar finds a new second, so draws made back to back are no longer
// tied to one another and every value of every range can come up.
class WatchedConsole final : public ForwardingConsole {
public:
    WatchedConsole(SimulatedPlatform& inner, bool secondPerDraw)
        : ForwardingConsole(inner), secondPerDraw_(secondPerDraw) {}
    std::vector<std::pair<std::int64_t, std::string>> writes;

    void write(std::string_view text) override {
        writes.emplace_back(inner_.nowMs(), text);
        inner_.write(text);
    }
    std::int64_t calendarSeconds() override {
        return inner_.calendarSeconds() + (secondPerDraw_ ? draws_++ : 0);
    }

private:
    bool secondPerDraw_;
    std::int64_t draws_ = 0;
};

class Encounter : public GameSession {
protected:
    // Meets one monster with the calendar pinned at `second` and the hero's
    // Strength and Agility as given.
    const Enemy& meet(std::int64_t second, std::int32_t minLevel, std::int32_t maxLevel,
                      std::int32_t strength = 5, std::int32_t agility = 5) {
        console = SimulatedPlatform(second);
        player.strength = strength;
        player.agility = agility;
        generateEnemy(minLevel, maxLevel);
        return enemy;
    }

    // Spreads of every stat of the monsters of `kind` met at `level` over many
    // encounters, each draw in a second of its own.
    StatSpread spreadOf(const std::string& kind, std::int32_t level) {
        StatSpread spread;
        player.strength = 5;
        player.agility = 5;
        for (std::int64_t encounter = 0; encounter < 800; ++encounter) {
            console = SimulatedPlatform(kFirstSecond + encounter * 20);  // 7 draws, 4 s of pauses
            WatchedConsole untied(console, true);
            setPlatform(untied);
            generateEnemy(level, level);
            setPlatform(console);
            const Enemy& monster = enemy;
            if (monster.name != kind) continue;
            EXPECT_EQ(monster.health, monster.maxHealth);
            spread.maxDamage.add(monster.maxDamage);
            spread.minDamage.add(monster.minDamage);
            spread.health.add(monster.health);
        }
        return spread;
    }
};

void expectSpread(const Spread& spread, std::int32_t low, std::int32_t high) {
    EXPECT_EQ(spread.low, low);
    EXPECT_EQ(spread.high, high);
}

TEST_F(Encounter, WorkedExamplesOfALevelTwoBearAndWasp) {
    const StatSpread bear = spreadOf("Bear", 2);
    expectSpread(bear.maxDamage, 30, 37);
    expectSpread(bear.minDamage, 15, 22);
    expectSpread(bear.health, 232, 255);
    const StatSpread wasp = spreadOf("Wasp", 2);
    expectSpread(wasp.maxDamage, 48, 54);
    expectSpread(wasp.minDamage, 42, 48);
    expectSpread(wasp.health, 115, 125);
}

TEST_F(Encounter, WaspHealthIgnoresLevelAndRavenHealthDoublesAtTen) {
    expectSpread(spreadOf("Wasp", 30).health, 115, 125);
    expectSpread(spreadOf("Raven", 10).health, 200, 250);
}

TEST_F(Encounter, EveryKindFollowsItsTableRow) {
    std::set<std::string> kindsSeen;
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 600; ++second) {
        const std::int32_t strength = static_cast<std::int32_t>(second % 7) + 3;
        const std::int32_t agility = static_cast<std::int32_t>(second % 5) + 4;
        const Enemy& monster = meet(second, 1, 32, strength, agility);
        const KindRow* row = rowNamed(monster.name);
        ASSERT_NE(row, nullptr) << monster.name;
        // The kind is drawn after both flavour pauses, four seconds on.
        EXPECT_STREQ(row->name, kTable[static_cast<std::size_t>(rollRangeAt(second + 4, 0, 3))].name);
        kindsSeen.insert(monster.name);
        const double factor = monster.level * row->weight + 1.0;
        const auto scaled = [factor](std::int32_t base) { return static_cast<std::int32_t>(factor * base); };
        EXPECT_GE(monster.maxDamage, scaled(row->maxLow * strength));
        EXPECT_LE(monster.maxDamage, scaled(row->maxHigh * strength));
        EXPECT_GE(monster.minDamage, scaled(row->minLow * strength));
        EXPECT_LE(monster.minDamage, scaled(row->minHigh * strength));
        EXPECT_LE(monster.minDamage, monster.maxDamage);
        const std::int32_t healthLow = row->healthLow * agility;
        const std::int32_t healthHigh = row->healthHigh * agility;
        EXPECT_GE(monster.health, row->healthScales ? scaled(healthLow) : healthLow);
        EXPECT_LE(monster.health, row->healthScales ? scaled(healthHigh) : healthHigh);
        EXPECT_EQ(monster.maxHealth, monster.health);
    }
    EXPECT_EQ(kindsSeen.size(), 4u);
}

TEST_F(Encounter, LevelComesFromTheWholeRangeGiven) {
    std::set<std::int32_t> levels;
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 300; ++second) {
        levels.insert(meet(second, 3, 15).level);
        ASSERT_EQ(meet(second, 7, 7).level, 7);
    }
    EXPECT_EQ(levels.size(), 13u);
    EXPECT_EQ(*levels.begin(), 3);
    EXPECT_EQ(*levels.rbegin(), 15);
}

TEST_F(Encounter, ZeroAttributesAndHugeOnesStayDefined) {
    std::set<std::string> kindsSeen;
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 40; ++second) {
        const Enemy& weak = meet(second, 5, 5, 0, 0);
        kindsSeen.insert(weak.name);
        EXPECT_EQ(weak.minDamage, 0) << weak.name;
        EXPECT_EQ(weak.maxDamage, 0) << weak.name;
        EXPECT_EQ(weak.health, 0) << weak.name;

        const Enemy& huge = meet(second, kMax, kMax, kMax, kMax);
        EXPECT_EQ(huge.level, kMax);
        EXPECT_EQ(huge.maxDamage, kMax);
        EXPECT_GT(huge.minDamage, 0);
        EXPECT_LE(huge.minDamage, huge.maxDamage);
        EXPECT_GT(huge.health, 0);
    }
    EXPECT_EQ(kindsSeen.size(), 4u);
}

constexpr std::array<const char*, 10> kWanderingLines{
    "Walking around and sniffing flowers",
    "Collecting some rocks to add to your collection",
    "Looking for a 4 leaf clover",
    "Trying to play chess with yourself",
    "Eating mushrooms like theres no tommorow",
    "Going to laugh at poor people",
    "Doing magic tricks but you make it super obvious",
    "Putting the empty container back into the cabinet",
    "You forgot your gardners name",
    "You have fallen and you can't get back up",
};
constexpr std::array<const char*, 10> kEncounterLines{
    "You square up",
    "Someone insulted your rock collection",
    "You see something strange",
    "You put your hands in the air like they just don't care",
    "Someone picked up the 4 leaf clover you saw",
    "The mushroom lords are enraged with you",
    "You think yourself was cheating at chess",
    "Someone had thrown a tomatoe(the fruit) at you",
    "You have slipped on a banana peel while someone laughs",
    "You pretend you know Kung Fu",
};

TEST_F(Encounter, FlavourLinesComeTwoSecondsApartOnAClearedScreen) {
    std::set<std::string> wanderingSeen, encounterSeen;
    for (std::int64_t second = kFirstSecond; second < kFirstSecond + 120; ++second) {
        console = SimulatedPlatform(second);
        WatchedConsole stamped(console, false);
        setPlatform(stamped);
        generateEnemy(1, 3);
        setPlatform(console);

        // Each line is drawn in the second it is printed.
        const std::string wandering = kWanderingLines[static_cast<std::size_t>(rollRangeAt(second, 0, 9))];
        const std::string meeting = kEncounterLines[static_cast<std::size_t>(rollRangeAt(second + 2, 0, 9))];
        ASSERT_EQ(console.transcript(), "<clear>" + wandering + "\n" + meeting + "\n");
        const std::vector<std::pair<std::int64_t, std::string>> expected{
            {0, wandering}, {0, "\n"}, {2000, meeting}, {2000, "\n"}};
        ASSERT_EQ(stamped.writes, expected);
        ASSERT_EQ(console.nowMs(), 4000);  // the second pause comes after the last line
        wanderingSeen.insert(wandering);
        encounterSeen.insert(meeting);
    }
    EXPECT_EQ(wanderingSeen.size(), 10u);
    EXPECT_EQ(encounterSeen.size(), 10u);
}

}  // namespace
}  // namespace talvoren::testing
