// The random draw (its ranges and the per-second reseed) and the encounter
// screen: the flavour lines with their pauses, then the monster.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "combat/calendar_dice.h"
#include "combat/encounter.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
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

TEST(RollRange, TopOfARangeComesUp) {
    // At calendar second 1'700'000'001 a new hero's blow (18 to 31) is the
    // hardest there is, and a draw of 0 or 1 is 1.
    EXPECT_EQ(rollRangeAt(kFirstSecond + 1, 18, 31), 31);
    EXPECT_EQ(rollRangeAt(kFirstSecond + 1, 0, 1), 1);
    // The monster kind drawn a second later is the last of the four, a Raven.
    EXPECT_EQ(rollRangeAt(kFirstSecond + 2, 0, 3), 3);
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
    // The game's own dice: those of a run started without dice of the test's.
    clock = SimulatedClock(kFirstSecond);
    Dice& dice = game().dice;
    const std::int32_t first = dice.roll(0, 1'000'000);
    EXPECT_EQ(first, rollRangeAt(kFirstSecond, 0, 1'000'000));
    EXPECT_EQ(dice.roll(0, 1'000'000), first);
    clock.sleepMs(999);
    EXPECT_EQ(dice.roll(0, 1'000'000), first);  // still the same second
    clock.sleepMs(1);
    EXPECT_EQ(dice.roll(0, 1'000'000), rollRangeAt(kFirstSecond + 1, 0, 1'000'000));
    EXPECT_NE(dice.roll(0, 1'000'000), first);
}

// Scripted dice that also note the virtual time of every roll.
class ClockedDice final : public Dice {
public:
    ClockedDice(std::vector<std::int32_t> values, const SimulatedClock& clock)
        : inner_(std::move(values)), clock_(clock) {}
    std::int32_t roll(std::int32_t lo, std::int32_t hi) override {
        rolledAt.push_back(clock_.nowMs());
        return inner_.roll(lo, hi);
    }
    const std::vector<std::pair<std::int32_t, std::int32_t>>& ranges() const { return inner_.ranges(); }
    std::vector<std::int64_t> rolledAt;

private:
    test_support::ScriptedDice inner_;
    const SimulatedClock& clock_;
};

using Encounter = GameSession;

TEST_F(Encounter, FlavourLinesTwoSecondsApartThenTheMonster) {
    struct Case {
        std::int32_t wandering, meeting;
        const char* shown;
    };
    const Case cases[] = {
        {0, 9, "Walking around and sniffing flowers\nYou pretend you know Kung Fu\n"},
        {4, 7, "Eating mushrooms like theres no tommorow\nSomeone had thrown a tomatoe(the fruit) at you\n"},
        {9, 0, "You have fallen and you can't get back up\nYou square up\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.shown);
        clock = SimulatedClock();
        console = SimulatedTerminal(clock);
        console.clearTranscript();
        console.noteTimes();
        // A level-7 Wasp: level, the two lines, the kind, high and low damage, health.
        ClockedDice dice({7, each.wandering, each.meeting, 2, 45, 40, 115}, clock);
        test_support::startFreshGame(console, clock, files, &dice);
        const Enemy monster = generateEnemy(3, 15, Player{}, 9);
        const auto& writes = console.timedWrites();

        EXPECT_EQ(console.transcript(), std::string("<clear>") + each.shown);
        ASSERT_EQ(writes.size(), 4u);
        EXPECT_EQ(writes[0].first, 0);
        EXPECT_EQ(writes[2].first, 2000);
        EXPECT_EQ(clock.nowMs(), 4000);  // the second pause comes after the last line
        // The level is rolled from the range given before the lines, the kind after them.
        EXPECT_EQ(dice.ranges()[0], (std::pair<std::int32_t, std::int32_t>{3, 15}));
        EXPECT_EQ(dice.rolledAt[0], 0);
        EXPECT_EQ(dice.ranges()[3], (std::pair<std::int32_t, std::int32_t>{0, 3}));
        EXPECT_EQ(dice.rolledAt[3], 4000);
        EXPECT_EQ(monster.name, "Wasp");
        EXPECT_EQ(monster.level, 7);
        EXPECT_EQ(monster.maxDamage, 76);  // 45 x 1.7 = 76.5, cut to 76
        EXPECT_EQ(monster.minDamage, 68);
        EXPECT_EQ(monster.health, 115);  // a Wasp's health does not grow with its level
        EXPECT_EQ(monster.maxHealth, 115);
        EXPECT_EQ(monster.lastHit, 9);  // the last monster's blow is handed on
    }
}

}  // namespace
}  // namespace talvoren::testing
