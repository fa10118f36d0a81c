// The two wilderness menus: hunting areas gated by the hero's level, and Continue.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "console/game_context.h"
#include "console/input.h"
#include "fresh_game.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"
#include "story/scenes.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;

const char* const kWispyForrest = "[1] Wispy Forrest [ LVL: 3 -- > 6 ]";
const char* const kCursedSwamp = "[2] Cursed Swamp [ LVL: 7 -- > 10 ]";
const char* const kWhiteJungle = "[3] White Jungle [ LVL: 11 -- > 15 ]";
const char* const kGrassyField = "[1] Grassy Field [ LVL: 21 -- > 25 ]";
const char* const kDarkForest = "[2] Dark Forest [ LVL: 26 -- > 30 ]";
const char* const kSandyCove = "[3] Sandy Cove [ LVL: 31 -- > 32 ]";

struct Menu {
    const char* name;
    void (*scene)();
    int stage;
};
const Menu kFirst{"first", playFirstWilderness, 3};
const Menu kSecond{"second", playSecondWilderness, 5};

std::string menuText(const std::vector<std::string>& options) {
    std::string text =
        "<clear>" + kRule + "Wilderness :: Objectives :: Fight towards the Fountain of Youth\n" + kRule;
    for (const std::string& option : options) text += option + "\n";
    return text + "[10] Heal\n[11] Character Statistics\n\n[98] Save Game\n[99] Exit Game\n> ";
}

class Wilderness : public GameSession {
protected:
    void SetUp() override {
        GameSession::SetUp();
        state().player.name = "Ana";
    }

    // One call of the menu on `input`; returns what it printed. Every byte
    // but trailing line ends must have been read.
    std::string playStep(const Menu& menu, const std::string& input) {
        console.clearTranscript();
        console.type(input);
        menu.scene();
        EXPECT_THROW(game().input.readMenuNumber(), EndOfInput) << "input left unread";
        test_support::renewInput();
        return transcript();
    }
};

TEST_F(Wilderness, AreasAndContinueAreOfferedAndAcceptedByHeroLevel) {
    struct Case {
        const Menu* menu;
        int heroLevel;
        std::vector<std::string> options;
        std::vector<int> refused;
        int continueTo;  // 0: no Continue
    };
    const Case cases[] = {
        {&kFirst, 6, {kWispyForrest}, {2, 3, 4}, 0},
        {&kFirst, 7, {kWispyForrest, kCursedSwamp}, {3, 4}, 0},
        {&kFirst, 10, {kWispyForrest, kCursedSwamp}, {3, 4}, 0},
        {&kFirst, 11, {kWispyForrest, kCursedSwamp, kWhiteJungle}, {4}, 0},
        {&kFirst, 15, {kWispyForrest, kCursedSwamp, kWhiteJungle}, {4}, 0},
        {&kFirst, 16, {kWispyForrest, kCursedSwamp, kWhiteJungle, "[4] Continue"}, {}, 4},
        {&kSecond, 21, {kGrassyField, kDarkForest, kSandyCove}, {4}, 0},
        {&kSecond, 31, {kGrassyField, kDarkForest, kSandyCove}, {4}, 0},
        {&kSecond, 32, {kGrassyField, kDarkForest, kSandyCove, "[4] Continue"}, {}, 6},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::string(each.menu->name) + " menu, hero level " + std::to_string(each.heroLevel));
        const std::string expectedMenu = menuText(each.options);
        state().player.level = each.heroLevel;
        for (const int choice : each.refused) {
            state().actStage = each.menu->stage;
            EXPECT_EQ(playStep(*each.menu, std::to_string(choice) + "\n"), expectedMenu) << choice;
            EXPECT_EQ(state().actStage, each.menu->stage);
        }
        // The highest area offered takes the hero into a fight.
        const std::size_t highestArea = std::min<std::size_t>(each.options.size(), 3);
        state().actStage = each.menu->stage;
        const std::string out = playStep(*each.menu, std::to_string(highestArea) + "\n" + kFlee);
        EXPECT_TRUE(startsWith(out, expectedMenu)) << out;
        EXPECT_NE(encounteredLevel(out), -1) << out;
        if (each.continueTo != 0) {
            state().actStage = each.menu->stage;
            state().sceneStep = 1;
            EXPECT_EQ(playStep(*each.menu, "4\n"), expectedMenu);
            EXPECT_EQ(state().actStage, each.continueTo);
            EXPECT_EQ(state().sceneStep, 1);
        }
    }
}

TEST_F(Wilderness, EachAreaFightsMonstersOfTheLevelsItNames) {
    struct Case {
        const Menu* menu;
        int choice, lowest, highest;
    };
    const Case cases[] = {
        {&kFirst, 1, 3, 6},    {&kFirst, 2, 7, 10},   {&kFirst, 3, 11, 15},
        {&kSecond, 1, 21, 25}, {&kSecond, 2, 26, 30}, {&kSecond, 3, 31, 32},
    };
    ScriptedDice dice;
    test_support::startFreshGame(console, clock, files, &dice);
    state().player.name = "Ana";
    state().player.level = 32;
    for (const Case& each : cases) {
        SCOPED_TRACE(std::string(each.menu->name) + " menu, area " + std::to_string(each.choice));
        for (const auto roll : {ScriptedDice::Afterwards::Lowest, ScriptedDice::Afterwards::Highest}) {
            dice = ScriptedDice({}, roll);
            state().actStage = each.menu->stage;
            const std::string out = playStep(*each.menu, std::to_string(each.choice) + "\n" + kFlee);
            EXPECT_EQ(encounteredLevel(out),
                      roll == ScriptedDice::Afterwards::Lowest ? each.lowest : each.highest);
            EXPECT_EQ(state().actStage, each.menu->stage);
        }
    }
}

TEST_F(Wilderness, HeroFightsOnWithTheHealthADeathLeftUntilHealing) {
    state().actStage = 3;
    state().player.level = 6;
    state().player.health = 1;
    state().player.maxHealth = 300;
    // Area 1, the intro, Attack, a space for the bar, the blow's pause and the death's.
    std::string out = playStep(kFirst, "1\n\n1\n \n\n\n");
    EXPECT_NE(out.find("You have died"), std::string::npos) << out;
    const int left = state().player.health;
    EXPECT_LE(left, 0);

    // No refill before the next fight.
    out = playStep(kFirst, "1\n" + kFlee);
    EXPECT_NE(out.find("Ana [" + std::to_string(left) + "/300]"), std::string::npos) << out;
    EXPECT_EQ(state().player.health, left);

    // Heal: (6 x 0.25 + 1) x 5 x 25 = 312.5, cut to 312.
    EXPECT_EQ(playStep(kFirst, "10\n"), menuText({kWispyForrest}));
    EXPECT_EQ(state().player.health, 312);
    EXPECT_EQ(state().player.maxHealth, 312);
    out = playStep(kFirst, "1\n" + kFlee);
    EXPECT_NE(out.find("Ana [312/312]"), std::string::npos) << out;
}

TEST_F(Wilderness, SheetSaveExitAndUnlistedNumbers) {
    for (const Menu* menu : {&kFirst, &kSecond}) {
        SCOPED_TRACE(menu->name);
        test_support::startFreshGame(console, clock, files);
        state().player.name = "Ana";
        state().player.level = 21;
        state().player.health = 5;
        state().actStage = menu->stage;
        const std::string expectedMenu =
            menu == &kFirst ? menuText({kWispyForrest, kCursedSwamp, kWhiteJungle, "[4] Continue"})
                            : menuText({kGrassyField, kDarkForest, kSandyCove});

        for (const char* ignored : {"0\n", "5\n", "9\n", "12\n", "97\n", "100\n", "-4\n", "?\n"}) {
            EXPECT_EQ(playStep(*menu, ignored), expectedMenu) << ignored;
            EXPECT_EQ(state().actStage, menu->stage);
            EXPECT_EQ(state().player.health, 5);
        }
        EXPECT_FALSE(fileExists("save1.txt"));

        const std::string out = playStep(*menu, "11\n99\n");
        EXPECT_TRUE(startsWith(out, expectedMenu + "<clear>" + kRule + "Ana\nGold ")) << out;

        playStep(*menu, "98\n");
        EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, 1, menu->stage, 0));
        EXPECT_TRUE(state().actRunning);

        // Loaded in a new run, the same menu comes back.
        EXPECT_EQ(playAgain("4\n99\n"), 0);
        EXPECT_EQ(console.screens().back(), expectedMenu.substr(7));
        EXPECT_FALSE(state().actRunning);

        // A won fight, then Exit Game: the gold and experience are not saved.
        EXPECT_EQ(playAgain("4\n1\n" + kWin + "99\n"), 0);
        EXPECT_GT(state().player.gold, 0);
        EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, 1, menu->stage, 0));
        std::filesystem::remove(folder / "save1.txt");
    }
}

}  // namespace
}  // namespace talvoren::testing
