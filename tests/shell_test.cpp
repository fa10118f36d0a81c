#include "shell/shell.h"

#include <string>
#include <vector>

#include "console/input.h"
#include "persistence/save_file.h"
#include "rules/records.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kNamePrompt = "<clear>Cyrus\n" + kRule +
                                "Hello Traveller!\nWhat is your name?\n** SPACES ARE NOT ALLOWED **\n" +
                                kRule + "> ";
const std::string kCyrus = "<clear>Cyrus\n" + kRule +
                           "Dubistrum has been waiting for you!\nHe is in the next town over, about 5 miles "
                           "away.\n" +
                           kRule + kPause;
const std::string kRoadNotice = "<clear>" + kRule + ":: NOTICE ::\nNext town is about 15 miles away\n" +
                                kRule + "You think to your self 'Sure seems like 5 miles...'\n" + kPause;
const std::string kActEnd =
    kRule + "You have finished act 1!\nAll your game data has been saved\n" + kRule + kPause;

std::string options(bool backstory, bool tutorial) {
    return std::string("<clear>[1] ") + (backstory ? "Disable" : "Enable") + " Backstory\n[2] " +
           (tutorial ? "Disable" : "Enable") + " Tutorial\n[99] Exit\n> ";
}

std::string backstory(const std::string& name) {
    return "<clear>Humanity as we know, is in danger. All the peaceful creatures have been driven mad by "
           "this "
           "power crystal.\n"
           "The power crystal can only be destroyed by magic, but wizards are extinct... Except one...\n"
           "Dubistrum, the only wizard still left alive... But he is too old and frail, but there is a way "
           "to "
           "evade it.\n"
           "There is a legend but has been reported true, the Fountain of Youth, will renew anyone's youth "
           "upon "
           "drinking\n"
           "The old wizard has requested that if anybody will retrieve him a drink from this fountain will "
           "be "
           "rewarded.\n"
           "You, " +
           name +
           " are very eager to help the wizard and save humanity as a whole\n"
           "But there is a tale about the Fountain of Youth, that anyone who drinks from it is... uh... I "
           "forget "
           "the tale...\n" +
           kPause;
}

class Shell : public GameSession {
protected:
    // The transcript cut at every clear, each piece starting with its "<clear>".
    std::vector<std::string> screens() const {
        std::vector<std::string> pieces = console.screens();
        for (std::size_t i = 1; i < pieces.size(); ++i) pieces[i] = "<clear>" + pieces[i];
        return pieces;
    }
};

TEST_F(Shell, MainMenuExitEndsCleanlyAndSavesNothing) {
    EXPECT_EQ(play("99\n"), 0);
    EXPECT_EQ(transcript(),
              "<window 1000x500><title Talvoren -- Build v0.1.0><clear>[1] New Game\n[2] Options\n"
              "[3] Credits\n[4] Load Game\n\n[99] Exit\n> ");
    EXPECT_FALSE(fileExists("save1.txt"));
}

TEST_F(Shell, AnswersNotOnTheMainMenuOnlyRedrawIt) {
    EXPECT_EQ(play("0\n5\n98\n100\n-1\n99\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + kMainMenu + kMainMenu + kMainMenu + kMainMenu + kMainMenu);
    EXPECT_EQ(state().currentScreen, 1);
    EXPECT_TRUE(state().backstoryEnabled);
    EXPECT_TRUE(state().tutorialEnabled);
    EXPECT_EQ(state().loadedPlayer.name, "");
    EXPECT_FALSE(fileExists("save1.txt"));
}

TEST_F(Shell, CreditsShowThreeLinesAndPauseThenTheMenu) {
    EXPECT_EQ(play("3\n\n99\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu +
                                "<clear>Programmer: Mara Lindqvist\nStory Idear: Tobias Renn\n"
                                "Game Tester: Ines Okafor\n" +
                                kPause + kMainMenu);
    EXPECT_EQ(console.unreadInput(), 0u);
}

TEST_F(Shell, OptionsFlipOneFlagPerAnswerAndExitToTheMainMenu) {
    EXPECT_EQ(play("2\n1\n1\n2\n0\n3\n98\n100\n99\n99\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + options(true, true) + options(false, true) +
                                options(true, true) + options(true, false) + options(true, false) +
                                options(true, false) + options(true, false) + options(true, false) +
                                kMainMenu);
    EXPECT_TRUE(state().backstoryEnabled);
    EXPECT_FALSE(state().tutorialEnabled);
    EXPECT_EQ(state().currentScreen, 1);

    // Nothing is kept for the next start.
    EXPECT_EQ(playAgain("2\n99\n99\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + options(true, true) + kMainMenu);
}

TEST_F(Shell, NewGameTellsTheBackstoryAndStartsTheRoad) {
    EXPECT_EQ(play("1\nAna\n\n\n"), 0);  // input ends at the road's first pause
    const auto pieces = screens();
    ASSERT_EQ(pieces.size(), 6u);
    EXPECT_EQ(pieces[0], kStartUp);
    EXPECT_EQ(pieces[1], kMainMenu);
    EXPECT_EQ(pieces[2], kNamePrompt);
    EXPECT_EQ(pieces[3], backstory("Ana"));
    EXPECT_EQ(pieces[4], kCyrus);
    EXPECT_EQ(pieces[5], kRoadNotice);
    EXPECT_EQ(readFile("save1.txt"), "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0");
    // The act sets the ceiling from Intelligence alone; health waits for the first refill.
    EXPECT_EQ(state().player.name, "Ana");
    EXPECT_EQ(state().player.maxHealth, 125);
    EXPECT_EQ(state().player.health, 0);
}

TEST_F(Shell, WithoutBackstoryTheNamePromptLeadsStraightToCyrus) {
    // Blank lines and blanks before the name are skipped.
    EXPECT_EQ(play("2\n1\n99\n1\n\n  \t\n  Bo-7!\n\n"), 0);
    const auto pieces = screens();
    ASSERT_EQ(pieces.size(), 8u);
    EXPECT_EQ(pieces[2], options(true, true));
    EXPECT_EQ(pieces[3], options(false, true));
    EXPECT_EQ(pieces[5], kNamePrompt);
    EXPECT_EQ(pieces[6], kCyrus);
    EXPECT_EQ(pieces[7], kRoadNotice);
    EXPECT_EQ(state().loadedPlayer.name, "Bo-7!");
    EXPECT_EQ(count("Humanity"), 0u);
}

TEST_F(Shell, NameWithABlankKeepsTheFirstWordAndThePauseWaitsForEnter) {
    console.type("1\nAna Smith\n");
    console.typeAt(2000, "\n");
    EXPECT_EQ(runGame(), 0);
    EXPECT_EQ(state().loadedPlayer.name, "Ana");
    EXPECT_EQ(count("You, Ana are very eager"), 1u);
    // The backstory pause dropped " Smith" and its line end and waited for the later Enter;
    // input then ended at Cyrus' pause, before the act could save.
    EXPECT_EQ(clock.nowMs(), 2000);
    EXPECT_EQ(transcript().substr(transcript().size() - kCyrus.size()), kCyrus);
    EXPECT_FALSE(fileExists("save1.txt"));
}

TEST_F(Shell, LoadWithoutASaveOrWithAnotherHeaderSaysWhyAndWaitsForEnter) {
    // Piped, as typed: 4, then one line for the pause, then Exit.
    EXPECT_EQ(play("4\n\n99\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + "Unable to open file\n" + kPause + kMainMenu);

    // A save whose first line is not exactly "Act 1": the player is told, and the file is left as it was.
    const std::string save = "act 1" + saveText("Bo", 3, 5, 5, 5, 0, 0, 25, 50, 0, 1, 2, 0).substr(5);
    writeFile("save1.txt", save);
    EXPECT_EQ(playAgain("4\n\n99\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + kNoGameInTheSave + kPause + kMainMenu);
    EXPECT_EQ(readFile("save1.txt"), save);
}

TEST_F(Shell, LoadingTheEndOfTheActSavesAgainAndEnds) {
    const std::string save = saveText("Bo", 3, 7, 6, 5, 120, 300, 100, 300, 2, 1, 6, 0);
    writeFile("save1.txt", save + "\nline fifteen");
    EXPECT_EQ(play("4\n\n"), 0);
    EXPECT_EQ(transcript(), kStartUp + kMainMenu + kActEnd);
    EXPECT_EQ(readFile("save1.txt"), save);  // rewritten by the game, without the extra line
    EXPECT_EQ(console.unreadInput(), 0u);
    EXPECT_FALSE(state().actRunning);
    EXPECT_FALSE(state().gameRunning);
}

TEST_F(Shell, LoadedGameTakesOnlyTheSavedFields) {
    const std::string save = saveText("Bo", 3, 7, 6, 5, 120, 300, 100, 300, 2, 1, 2, 4);
    writeFile("save1.txt", save);
    state().player.health = 42;
    state().player.lastHit = 9;
    state().player.minDamage = 3;
    state().player.maxDamage = 4;
    state().player.maxHealth = 1;
    EXPECT_EQ(play("4\n99\n"), 0);  // the wizard's town menu, then "[99] Exit Game"
    EXPECT_EQ(count("Town :: Objectives :: Speak to the Wizard"), 1u);
    EXPECT_EQ(count("You have finished act 1!"), 0u);
    EXPECT_EQ(
        formatSave(state().player, Progress{state().actStage, state().sceneStep, state().questCounter}, "\n"),
        save);
    EXPECT_EQ(state().player.health, 42);
    EXPECT_EQ(state().player.lastHit, 9);
    EXPECT_EQ(state().player.minDamage, 3);
    EXPECT_EQ(state().player.maxDamage, 4);
    EXPECT_EQ(state().player.maxHealth, 175);  // Intelligence x 25 at the start of the act

    writeFile("save1.txt", saveText("Huge", 1, 2147483647, 5, 5, 0, 0, 25, 50, 0, 1, 2, 0));
    EXPECT_EQ(playAgain("4\n99\n"), 0);
    EXPECT_EQ(state().player.maxHealth, 2147483647);
}

TEST_F(Shell, StageOutsideTheActStartsTheRoadAgain) {
    // Only a damaged save holds a stage outside 1 to 6: whatever its step,
    // the act starts over at the road's notice.
    for (const int stage : {-1, 0, 7, 9}) {
        for (const int step : {-1, 0, 2, 3, 9}) {
            SCOPED_TRACE("stage " + std::to_string(stage) + ", step " + std::to_string(step));
            writeFile("save1.txt", saveText("Ro", 2, 5, 5, 5, 10, 60, 50, 125, 0, step, stage, 4));
            EXPECT_EQ(playAgain("4\n"), 0);  // input ends at the road notice
            EXPECT_EQ(transcript(), kStartUp + kMainMenu + kRoadNotice);
            EXPECT_EQ(state().actStage, 1);
            EXPECT_EQ(state().sceneStep, 1);
            // The walk's fight count starts over with the road.
            EXPECT_EQ(readFile("save1.txt"), saveText("Ro", 2, 5, 5, 5, 10, 60, 50, 125, 0, 1, 1, 0));
        }
    }
}

}  // namespace
}  // namespace talvoren::testing
