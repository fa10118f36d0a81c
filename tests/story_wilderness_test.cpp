// The two wilderness menus: hunting areas gated by the hero's level, and Continue.
#include <filesystem>
#include <string>
#include <vector>

#include "character/records.h"
#include "console/input.h"
#include "session.h"
#include "story/scenes.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

struct Area {
    std::string line;
    int lowest, highest;
};

struct Menu {
    const char* name;
    void (*scene)();
    int stage;
    Area areas[3];
    int continueLevel;
    int nextStage;
};

const Menu kFirst{"first",
                  playFirstWilderness,
                  3,
                  {{"[1] Wispy Forrest [ LVL: 3 -- > 6 ]", 3, 6},
                   {"[2] Cursed Swamp [ LVL: 7 -- > 10 ]", 7, 10},
                   {"[3] White Jungle [ LVL: 11 -- > 15 ]", 11, 15}},
                  16,
                  4};
const Menu kSecond{"second",
                   playSecondWilderness,
                   5,
                   {{"[1] Grassy Field [ LVL: 21 -- > 25 ]", 21, 25},
                    {"[2] Dark Forest [ LVL: 26 -- > 30 ]", 26, 30},
                    {"[3] Sandy Cove [ LVL: 31 -- > 32 ]", 31, 32}},
                   32,
                   6};

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
        player.name = "Ana";
    }

    // One call of the menu on `input`; returns what it printed. Every byte
    // but trailing line ends must have been read.
    std::string playStep(const Menu& menu, const std::string& input) {
        console.clearTranscript();
        console.type(input);
        menu.scene();
        EXPECT_THROW(gameInput().readMenuNumber(), EndOfInput) << "input left unread";
        gameInput().reset();
        return transcript();
    }
};

TEST_F(Wilderness, AreasAndContinueAreOfferedAndAcceptedByHeroLevel) {
    for (const Menu* menu : {&kFirst, &kSecond}) {
        for (const int level : {6, 7, 11, 16, 21, 31, 32}) {
            SCOPED_TRACE(std::string(menu->name) + " menu, hero level " + std::to_string(level));
            const bool offered[] = {true, level >= 7, level >= 11, level >= menu->continueLevel};
            std::vector<std::string> lines;
            for (int option = 0; option < 3; ++option) {
                if (offered[option]) lines.push_back(menu->areas[option].line);
            }
            if (offered[3]) lines.push_back("[4] Continue");
            const std::string expectedMenu = menuText(lines);

            for (int choice = 1; choice <= 4; ++choice) {
                SCOPED_TRACE("choice " + std::to_string(choice));
                player.level = level;
                actStage = menu->stage;
                sceneStep = 1;
                const bool fights = choice <= 3 && offered[choice - 1];
                const std::string out =
                    playStep(*menu, std::to_string(choice) + "\n" + (fights ? kFlee : ""));
                EXPECT_TRUE(startsWith(out, expectedMenu)) << out;
                if (fights) {
                    const Area& area = menu->areas[choice - 1];
                    EXPECT_GE(encounteredLevel(out), area.lowest) << out;
                    EXPECT_LE(encounteredLevel(out), area.highest) << out;
                    EXPECT_EQ(actStage, menu->stage);
                } else if (choice == 4 && offered[3]) {
                    EXPECT_EQ(out, expectedMenu);
                    EXPECT_EQ(actStage, menu->nextStage);
                    EXPECT_EQ(sceneStep, 1);
                } else {
                    EXPECT_EQ(out, expectedMenu) << "a refused choice only redraws";
                    EXPECT_EQ(actStage, menu->stage);
                }
            }
        }
    }
}

TEST_F(Wilderness, HeroFightsOnWithTheHealthADeathLeftUntilHealing) {
    actStage = 3;
    player.level = 6;
    player.health = 1;
    player.maxHealth = 300;
    // Area 1, the intro, Attack, a space for the bar, the blow's pause and the death's.
    std::string out = playStep(kFirst, "1\n\n1\n \n\n\n");
    EXPECT_NE(out.find("You have died"), std::string::npos) << out;
    const int left = player.health;
    EXPECT_LE(left, 0);

    // No refill before the next fight.
    out = playStep(kFirst, "1\n" + kFlee);
    EXPECT_NE(out.find("Ana [" + std::to_string(left) + "/300]"), std::string::npos) << out;
    EXPECT_EQ(player.health, left);

    // Heal: (6 x 0.25 + 1) x 5 x 25 = 312.5, cut to 312.
    EXPECT_EQ(playStep(kFirst, "10\n"), menuText({kFirst.areas[0].line}));
    EXPECT_EQ(player.health, 312);
    EXPECT_EQ(player.maxHealth, 312);
    out = playStep(kFirst, "1\n" + kFlee);
    EXPECT_NE(out.find("Ana [312/312]"), std::string::npos) << out;
}

TEST_F(Wilderness, SheetSaveExitAndUnlistedNumbers) {
    for (const Menu* menu : {&kFirst, &kSecond}) {
        SCOPED_TRACE(menu->name);
        resetGameState();
        player.name = "Ana";
        player.level = 21;
        player.health = 5;
        actStage = menu->stage;
        std::vector<std::string> lines{menu->areas[0].line, menu->areas[1].line, menu->areas[2].line};
        if (menu->continueLevel <= 21) lines.push_back("[4] Continue");
        const std::string expectedMenu = menuText(lines);

        for (const char* ignored : {"0\n", "5\n", "9\n", "12\n", "97\n", "100\n", "-4\n", "?\n"}) {
            EXPECT_EQ(playStep(*menu, ignored), expectedMenu) << ignored;
            EXPECT_EQ(actStage, menu->stage);
            EXPECT_EQ(player.health, 5);
        }
        EXPECT_FALSE(fileExists("save1.txt"));

        const std::string out = playStep(*menu, "11\n99\n");
        EXPECT_TRUE(startsWith(out, expectedMenu + "<clear>" + kRule + "Ana\nGold ")) << out;

        playStep(*menu, "98\n");
        EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, 1, menu->stage, 0));
        EXPECT_TRUE(actRunning);

        // Loaded in a new run, the same menu comes back.
        EXPECT_EQ(playAgain("4\n99\n"), 0);
        EXPECT_EQ(console.screens().back(), expectedMenu.substr(7));
        EXPECT_FALSE(actRunning);

        // A won fight, then Exit Game: the gold and experience are not saved.
        EXPECT_EQ(playAgain("4\n1\n" + kWin + "99\n"), 0);
        EXPECT_GT(player.gold, 0);
        EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, 1, menu->stage, 0));
        std::filesystem::remove(folder / "save1.txt");
    }
}

}  // namespace
}  // namespace talvoren::testing
