// The road to the first town: the notice, the walk, the gate and Jimmy.
#include <string>

#include "console/input.h"
#include "rules/records.h"
#include "session.h"
#include "shell/shell.h"
#include "story/scenes.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kNotice = "<clear>" + kRule + ":: NOTICE ::\nNext town is about 15 miles away\n" + kRule +
                            "You think to your self 'Sure seems like 5 miles...'\n" + kPause;
const std::string kArrival =
    "<clear>You have made it to the town, but are you allowed to enter?\n" + kRule + kPause;
const std::string kRefusal = "<clear>Jimmy\n" + kRule +
                             "The wizard said anyone would do, but you are just too pathetic go gain some "
                             "experience\n** You must be at least level 3 to enter this town **\n" +
                             kRule + kPause;
const std::string kWelcome =
    "<clear>Jimmy\n" + kRule + "You may enter, the wizard is waiting for you\n" + kRule + kPause;

std::string walkScreen(int level, int experience, int toNext, int gold) {
    return "<clear>OBJECTIVE: Get to the town about 15 miles away.\nAna\n" + kRule + "Level " +
           std::to_string(level) + "\nXP [" + std::to_string(experience) + "/" + std::to_string(toNext) +
           "]\nGold " + std::to_string(gold) + "\n" + kRule + kPause;
}

class Road : public GameSession {
protected:
    void SetUp() override {
        GameSession::SetUp();
        state().player.name = "Ana";
    }

    // One call of the scene on `input`; returns what it printed. Every byte
    // but trailing line ends must have been read.
    std::string playStep(const std::string& input) {
        console.clearTranscript();
        console.type(input);
        playRoadToTown();
        EXPECT_THROW(game().input.readMenuNumber(), EndOfInput) << "input left unread";
        test_support::renewInput();
        return transcript();
    }

    // From the gate through the wizard and the first wilderness to the raven
    // quest's menu, which is left at once; returns the last screen.
    std::string playFromGateToCursedTown(bool firstArrival, int count) {
        state().player.level = 16;
        state().actStage = 1;
        state().sceneStep = 3;
        state().questCounter = count;
        state().gateFlag = firstArrival;
        std::string input = firstArrival ? "\n\n" : "\n";
        input += "1\n\n\n\n\n\n";  // the wizard and his five lines
        input += "4\n";            // Continue from the wilderness
        input += "\n\n99\n";       // the call for help, then leave at the town menu
        console.clearTranscript();
        console.type(input);
        runActOne("Ana");
        return console.screens().back();
    }
};

TEST_F(Road, FirstStepSavesShowsTheNoticeAndRepeatsUntilTheFightIsWon) {
    std::string out = playStep("\n" + kFlee);
    EXPECT_TRUE(startsWith(out, kNotice)) << out;
    EXPECT_NE(out.find("You have encountered a level "), std::string::npos);
    EXPECT_EQ(state().sceneStep, 1);
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 1, 5, 5, 5, 0, 0, 25, 50, 0, 1, 1, 0));

    // The lost fight brings back the notice, not the walk.
    out = playStep("\n" + kWin);
    EXPECT_TRUE(startsWith(out, kNotice)) << out;
    EXPECT_EQ(out.find("OBJECTIVE"), std::string::npos);
    EXPECT_EQ(state().sceneStep, 2);
    EXPECT_EQ(state().actStage, 1);
    EXPECT_GT(state().player.experience, 0);
}

TEST_F(Road, NewGameSavesBeforeTheNoticeReplacingAnOlderSave) {
    writeFile("save1.txt", saveText("Old", 9, 9, 9, 9, 999, 9, 9, 9, 9, 1, 3, 0));
    // Input ends at the notice's pause: the save has already been made.
    EXPECT_EQ(play("1\nAna\n\n\n"), 0);
    EXPECT_EQ(readFile("save1.txt"), "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0");
    EXPECT_EQ(console.screens().back(), kNotice.substr(7));

    // Loaded in a new run, the road starts with the notice again.
    restartProgram();
    EXPECT_EQ(play("4\n"), 0);
    EXPECT_EQ(console.screens().back(), kNotice.substr(7));
}

TEST_F(Road, WalkCountsOnlyWonFightsAndReachesTheGateAfterFive) {
    state().sceneStep = 2;
    state().player.level = 2;
    state().player.experience = 60;
    state().player.experienceToNext = 125;
    state().player.gold = 17;
    state().player.health = -5;  // as after a death on the road

    // A flight: the screen, the refill before the fight, nothing counted.
    std::string out = playStep("\n" + kFlee);
    EXPECT_TRUE(startsWith(out, walkScreen(2, 60, 125, 17))) << out;
    EXPECT_NE(out.find("Ana [187/187]"), std::string::npos) << "health is refilled before the fight";
    EXPECT_EQ(state().questCounter, 0);
    EXPECT_EQ(state().sceneStep, 2);

    // Won, lost, won, won, lost, won: four counted, still walking.
    const char results[] = {'w', 'l', 'w', 'w', 'l', 'w'};
    int won = 0;
    for (const char result : results) {
        playStep("\n" + (result == 'w' ? kWin : kFlee));
        if (result == 'w') ++won;
        EXPECT_EQ(state().questCounter, won);
        EXPECT_EQ(state().sceneStep, 2);
    }
    playStep("\n" + kWin);
    EXPECT_EQ(state().questCounter, 5);
    EXPECT_EQ(state().sceneStep, 3);
    EXPECT_EQ(state().actStage, 1);
}

TEST_F(Road, WalkSavesTheHeroAsItWasBeforeTheFight) {
    state().sceneStep = 2;
    state().questCounter = 3;
    state().player.gold = 40;
    state().player.experience = 20;
    const std::string out = playStep("\n" + kWin);
    EXPECT_TRUE(startsWith(out, walkScreen(1, 20, 50, 40))) << out;
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 1, 5, 5, 5, 40, 20, 25, 50, 0, 2, 1, 3));
    EXPECT_GT(state().player.gold, 40);
    EXPECT_EQ(state().questCounter, 4);
}

TEST_F(Road, GateAnswersByLevelAndAsksOnlyBeforeARefusal) {
    struct Case {
        const char* what;
        int level, count;
        bool firstArrival;
        const char* input;
        std::string screen;
        int stage, step, countAfter;
        bool gateAfter;
    };
    const Case cases[] = {
        {"level 3 let in", 3, 5, true, "\n\n", kArrival + kWelcome, 2, 1, 5, true},
        // Let in after a refusal: no question, and the count starts over.
        {"level 3 after a refusal", 3, 7, false, "\n", "<clear>" + kWelcome, 2, 1, 0, true},
        {"level 2 turned away", 2, 5, true, "\n\n", kArrival + kRefusal, 1, 2, 5, false},
        // Back at the gate after another won fight: no question, no speech, no pause.
        {"level 2 again", 2, 5, false, "", "<clear>", 1, 2, 5, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        state().actStage = 1;
        state().sceneStep = 3;
        state().player.level = each.level;
        state().questCounter = each.count;
        state().gateFlag = each.firstArrival;
        EXPECT_EQ(playStep(each.input), each.screen);
        EXPECT_EQ(state().actStage, each.stage);
        EXPECT_EQ(state().sceneStep, each.step);
        EXPECT_EQ(state().questCounter, each.countAfter);
        EXPECT_EQ(state().gateFlag, each.gateAfter);
    }

    // After the last refusal every further won walk fight leads straight back to the gate.
    playStep("\n" + kWin);
    EXPECT_EQ(state().questCounter, 6);
    EXPECT_EQ(state().sceneStep, 3);
}

TEST_F(Road, CursedTownCountsFromTheWayTheHeroWasLetIn) {
    const std::string tail = "\n" + kRule +
                             "[1] Wander around [ LVL: 16 -- > 20 ]\n[10] Heal\n[11] Character Statistics\n\n"
                             "[98] Save Game\n[99] Exit Game\n> ";
    const std::string head = "Phill\n" + kRule + "My name is Phill, hurry come quick\n" + kRule + kPause +
                             kRule + "Town :: Objective :: Kill 5 Ravens\n";
    EXPECT_EQ(playFromGateToCursedTown(true, 5), head + "5 remaining" + tail);
    EXPECT_EQ(state().questCounter, 5);

    restartProgram();
    EXPECT_EQ(playFromGateToCursedTown(false, 6), head + "10 remaining" + tail);
    EXPECT_EQ(state().questCounter, 0);
}

TEST_F(Road, SavesOnTheRoadResumeAtTheStepUnderWayAndForgetTheRefusal) {
    // Won first fight, then the walk screen: its save holds step 2.
    EXPECT_EQ(play("1\nAna\n\n\n\n" + kWin), 0);
    const std::string walk = console.screens().back();
    EXPECT_TRUE(startsWith(walk, "OBJECTIVE")) << walk;
    restartProgram();
    EXPECT_EQ(play("4\n"), 0);
    EXPECT_EQ(console.screens().back(), walk) << "the loaded walk shows the saved hero";

    // A refusal at the gate, then the walk saves; input ends at its pause.
    restartProgram();
    writeFile("save1.txt", saveText("Ana", 2, 5, 5, 5, 30, 124, 50, 125, 5, 3, 1, 5));
    EXPECT_EQ(play("4\n\n\n"), 0);
    EXPECT_EQ(count("You must be at least level 3"), 1u);
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 2, 5, 5, 5, 30, 124, 50, 125, 5, 2, 1, 5));

    // A new run forgets the refusal: the won fight (a level-up to 3) leads
    // to the arrival question again, and the hero is let in.
    restartProgram();
    EXPECT_EQ(play("4\n\n" + kWin + "\n\n"), 0);
    EXPECT_EQ(count("You have leveled up to 3"), 1u);
    EXPECT_EQ(count(kArrival), 1u);
    EXPECT_EQ(count(kWelcome), 1u);
    EXPECT_NE(console.screens().back().find("Town :: Objectives :: Speak to the Wizard"), std::string::npos);
}

}  // namespace
}  // namespace talvoren::testing
