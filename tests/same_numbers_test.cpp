// The numbers a player meets are the same on every processor. Monsters whose
// level grows them by a tenth per level land, for some rolls, a hair below a
// whole number; a processor that rounds the level multiplier once instead of
// twice (a fused multiply-add) lands a hair above it and shows one more.
// These are such monsters, with the numbers every build must show.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "combat/battle.h"
#include "rules/fight.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;
constexpr std::int32_t kWasp = 2, kRaven = 3;

Player heroWith(std::int32_t strength, std::int32_t agility) {
    Player made;
    made.strength = strength;
    made.agility = agility;
    return made;
}

TEST(SameNumbers, LevelThirteenRavenAtItsStrongest) {
    // Against Strength 25 and Agility 4 the Raven rolls its highest: 100
    // high damage, 50 low damage, 100 health, each grown to 2.3 times.
    ScriptedDice dice({100, 50, 100});
    const Enemy raven = makeMonster(kRaven, 13, heroWith(25, 4), dice);
    EXPECT_EQ(raven.health, 229);
    EXPECT_EQ(raven.maxHealth, 229);
    EXPECT_EQ(raven.maxDamage, 229);
    EXPECT_EQ(raven.minDamage, 114);
}

TEST(SameNumbers, LevelEighteenWaspStingsForUpTo251) {
    // Against Strength 10 and Agility 4: 90 high damage and 80 low damage,
    // grown to 2.8 times; a Wasp's 100 health stays as rolled.
    ScriptedDice dice({90, 80, 100});
    const Enemy wasp = makeMonster(kWasp, 18, heroWith(10, 4), dice);
    EXPECT_EQ(wasp.maxDamage, 251);
    EXPECT_EQ(wasp.minDamage, 224);
    EXPECT_EQ(wasp.health, 100);
}

class SameNumbersOnScreen : public GameSession {};

TEST_F(SameNumbersOnScreen, TheTurnScreenOfALevelThirteenRaven) {
    player.name = "Aldo";
    player.strength = 25;
    player.agility = 4;
    player.health = 156;
    player.maxHealth = 156;
    // Level 13, the two flavour lines, a Raven, then its highest rolls.
    ScriptedDice dice({13, 0, 0, kRaven, 100, 50, 100});
    game().setDice(dice);
    console.type("\n99\n");  // past the intro, then flee
    EXPECT_EQ(runBattle(13, 13), "lost");
    EXPECT_NE(transcript().find("Raven [229/229]\nLvl 13 | 114 -> 229 dmg\nAldo [156/156]\n"),
              std::string::npos)
        << transcript();
}

}  // namespace
}  // namespace talvoren::testing
