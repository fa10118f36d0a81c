// Act 1 as a whole: every scene and hand-over in one story, and damaged saves.
#include <sstream>
#include <string>
#include <vector>

#include "console/game_context.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

using test_support::ScriptedDice;

const std::string kEnd =
    kRule + "You have finished act 1!\nAll your game data has been saved\n" + kRule + kPause;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class ActOne : public GameSession {
protected:
    std::vector<std::string> saveLines() const {
        std::vector<std::string> lines;
        std::istringstream in(readFile("save1.txt"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Scene step, act stage and quest count of the save, as "step/stage/count".
    std::string savedProgress() const {
        const std::vector<std::string> lines = saveLines();
        if (lines.size() != 14) return "not a full save";
        return lines[11] + "/" + lines[12] + "/" + lines[13];
    }

    // Hand-edits one line of the save (counted from 1), as a player might.
    void editSave(std::size_t line, int value) {
        std::vector<std::string> lines = saveLines();
        ASSERT_EQ(lines.size(), 14u);
        lines[line - 1] = std::to_string(value);
        std::string text;
        for (std::size_t at = 0; at < lines.size(); ++at) text += (at ? "\n" : "") + lines[at];
        writeFile("save1.txt", text);
    }
};

TEST_F(ActOne, NewGamePlaysThroughEveryStageToTheEnd) {
    addPictures();
    std::string story;

    // The road: the first fight, five walk fights and Jimmy's refusal, then
    // the walk's save; input ends at its pause.
    std::string input = "1\nAna\n\n\n\n" + kWin;
    for (int fight = 0; fight < 5; ++fight) input += "\n" + kWin;
    EXPECT_EQ(play(input + "\n\n"), 0);
    EXPECT_EQ(count("** You must be at least level 3 to enter this town **"), 1u);
    EXPECT_EQ(count("You have encountered a level "), 6u);
    EXPECT_EQ(savedProgress(), "2/1/5");
    story += transcript();

    // At level 3: the gate asks again in a new run, the wizard
    // speaks, one fight in the first wilderness, save and leave.
    editSave(3, 3);
    restartProgram();
    EXPECT_EQ(play("4\n\n" + kWin + "\n\n2\n1\n\n\n\n\n\n1\n" + kWin + "98\n99\n"), 0);
    EXPECT_EQ(count("You may enter, the wizard is waiting for you"), 1u);
    EXPECT_EQ(count("Dubistrum"), 5u);
    EXPECT_EQ(count("[1] Wispy Forrest [ LVL: 3 -- > 6 ]"), 3u);
    EXPECT_EQ(savedProgress(), "1/3/6");  // the sixth walk fight counted too
    story += transcript();

    // At level 16 on to the cursed town; the four ravens still missing.
    editSave(3, 16);
    // The dice roll the top of every range, so every wander meets a Raven.
    ScriptedDice ravens({}, ScriptedDice::Afterwards::Highest);
    restartProgram(&ravens);
    input = "4\n4\n\n\n";
    for (int fight = 0; fight < 4; ++fight) input += "1\n" + kWin;
    EXPECT_EQ(play(input + "98\n99\n"), 0);
    EXPECT_EQ(count("hurry come quick\n" + kRule + kPause + kRule +
                    "Town :: Objective :: Kill 5 Ravens\n4 remaining\n"),
              1u);
    EXPECT_EQ(count("Raven[!]"), 4u);
    EXPECT_TRUE(endsWith(transcript(), "0 remaining\n" + kRule + "[1] Wander around [ LVL: 16 -- > 20 ]\n" +
                                           (state().player.level >= 21 ? "[2] Continue\n" : "") +
                                           "[10] Heal\n[11] Character Statistics\n\n[98] Save Game\n"
                                           "[99] Exit Game\n> "));
    EXPECT_EQ(savedProgress(), "2/4/10");
    story += transcript();

    // At level 21 the quest lets the hero go on to the second wilderness.
    editSave(3, 21);
    restartProgram();
    EXPECT_EQ(play("4\n2\n1\n" + kWin + "98\n99\n"), 0);
    EXPECT_EQ(count("[1] Grassy Field [ LVL: 21 -- > 25 ]"), 3u);
    EXPECT_EQ(savedProgress(), "1/5/0");
    story += transcript();

    // At level 32 Continue ends the act, below the menu, with a last save.
    editSave(3, 32);
    restartProgram();
    EXPECT_EQ(play("4\n4\n\n"), 0);
    EXPECT_TRUE(endsWith(transcript(),
                         "[4] Continue\n[10] Heal\n[11] Character Statistics\n\n[98] Save Game\n"
                         "[99] Exit Game\n> " +
                             kEnd))
        << transcript();
    EXPECT_EQ(savedProgress(), "1/6/0");
    story += transcript();

    // Every scene was on the screen at least once.
    for (const char* text : {":: NOTICE ::", "OBJECTIVE: Get to the town", "You have made it to the town",
                             "Speak to the Wizard", "Wispy Forrest", "Help, our town has been cursed!",
                             "Kill 5 Ravens", "Grassy Field", "You have finished act 1!"}) {
        EXPECT_NE(story.find(text), std::string::npos) << text;
    }

    // The end-of-act save leads straight back to the end of the act.
    restartProgram();
    EXPECT_EQ(play("4\n\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + kEnd);
    EXPECT_EQ(savedProgress(), "1/6/0");
}

TEST_F(ActOne, DamagedStepsRestartTheirSceneAtItsFirstStep) {
    struct Case {
        int stage;
        const char* input;
        std::string opening;
    };
    const Case cases[] = {
        {1, "4\n", "<clear>" + kRule + ":: NOTICE ::\n"},
        {2, "4\n99\n", "<clear>" + kRule + "Town :: Objectives :: Speak to the Wizard\n"},
        {3, "4\n99\n",
         "<clear>" + kRule + "Wilderness :: Objectives :: Fight towards the Fountain of Youth\n" + kRule +
             "[1] Wispy Forrest"},
        {4, "4\n\n\n99\n", "<clear>?????\n"},
        {5, "4\n99\n",
         "<clear>" + kRule + "Wilderness :: Objectives :: Fight towards the Fountain of Youth\n" + kRule +
             "[1] Grassy Field"},
    };
    for (const Case& each : cases) {
        for (const int step : {0, 9, -1}) {
            SCOPED_TRACE("stage " + std::to_string(each.stage) + ", step " + std::to_string(step));
            restartProgram();
            writeFile("save1.txt", saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, step, each.stage, 3));
            EXPECT_EQ(play(each.input), 0);
            const std::string out = transcript().substr((kStartUp + kMainMenu).size());
            EXPECT_EQ(out.rfind(each.opening, 0), 0u) << out;
            EXPECT_EQ(count(each.opening), 1u);
            if (each.stage == 4) {
                EXPECT_EQ(count("Help, our town has been cursed!"), 1u);
                EXPECT_NE(out.find("7 remaining"), std::string::npos);
            }
            if (each.stage == 1) {
                // The road starts over with its walk's fight count.
                EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, 1, 1, 0));
            }
        }
    }
}

}  // namespace
}  // namespace talvoren::testing
