// The two towns of the act: the wizard's town and the cursed town with its raven quest.
#include <string>

#include "console/game_context.h"
#include "console/input.h"
#include "rules/random.h"
#include "rules/records.h"
#include "scripted_dice.h"
#include "session.h"
#include "story/scenes.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kWizardMenu = "<clear>" + kRule + "Town :: Objectives :: Speak to the Wizard\n" + kRule +
                                "[1] Speak to the Wizard\n[2] Heal\n[3] Character Statistics\n\n"
                                "[98] Save Game\n[99] Exit Game\n> ";

// The raven quest's menu, printed below whatever was on the screen.
std::string questMenu(const std::string& progress, bool withContinue) {
    return kRule + "Town :: Objective :: Kill 5 Ravens\n" + progress + "\n" + kRule +
           "[1] Wander around [ LVL: 16 -- > 20 ]\n" + (withContinue ? "[2] Continue\n" : "") +
           "[10] Heal\n[11] Character Statistics\n\n[98] Save Game\n[99] Exit Game\n> ";
}

class Towns : public GameSession {
protected:
    void SetUp() override {
        GameSession::SetUp();
        test_support::startFreshGame(console, clock, files, &dice_);
        state().player.name = "Ana";
    }

    // One call of `scene` on `input`; returns what it printed. Every byte
    // but trailing line ends must have been read.
    std::string playStep(void (*scene)(), const std::string& input) {
        console.clearTranscript();
        console.type(input);
        scene();
        EXPECT_THROW(game().input.readMenuNumber(), EndOfInput) << "input left unread";
        test_support::renewInput();
        return transcript();
    }

    // The next fight meets a Raven, or a Bear; each of level 16 when the
    // menu offers levels 16 to 20.
    void steerNextMonster(bool raven) { dice_ = test_support::ScriptedDice({16, 0, 0, raven ? 3 : 0}); }

private:
    test_support::ScriptedDice dice_;
};

using WizardTown = Towns;
using CursedTown = Towns;

TEST_F(WizardTown, MenuHealsShowsTheSheetAndIgnoresOtherNumbers) {
    state().actStage = 2;
    state().player.level = 10;
    state().player.intelligence = 7;
    state().player.health = 3;
    state().player.maxHealth = 999;

    for (const char* ignored : {"0\n", "4\n", "100\n", "97\n", "-1\n", "x\n"}) {
        SCOPED_TRACE(ignored);
        EXPECT_EQ(playStep(playWizardTown, ignored), kWizardMenu);
        EXPECT_EQ(state().sceneStep, 1);
        EXPECT_EQ(state().actStage, 2);
        EXPECT_TRUE(state().actRunning);
        EXPECT_EQ(state().player.health, 3);
        EXPECT_FALSE(fileExists("save1.txt"));
    }

    // (10 x 0.25 + 1) x 7 x 25 = 612.5, cut to 612, whatever was there before.
    EXPECT_EQ(playStep(playWizardTown, "2\n"), kWizardMenu);
    EXPECT_EQ(state().player.health, 612);
    EXPECT_EQ(state().player.maxHealth, 612);
    state().player.health = 1000;
    playStep(playWizardTown, "2\n");
    EXPECT_EQ(state().player.health, 612);

    const std::string out = playStep(playWizardTown, "3\n99\n");
    EXPECT_TRUE(startsWith(out, kWizardMenu + "<clear>" + kRule + "Ana\nGold ")) << out;
    EXPECT_EQ(out.substr(out.size() - 12), "[99] Exit\n> ");
    EXPECT_EQ(state().sceneStep, 1);
    EXPECT_EQ(state().actStage, 2);
}

TEST_F(WizardTown, SaveKeepsTheTownAndExitSavesNothing) {
    state().actStage = 2;
    state().player.gold = 33;
    EXPECT_EQ(playStep(playWizardTown, "98\n"), kWizardMenu);
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 1, 5, 5, 5, 33, 0, 25, 50, 0, 1, 2, 0));
    EXPECT_TRUE(state().actRunning);

    state().player.gold = 34;
    EXPECT_EQ(playStep(playWizardTown, "99\n"), kWizardMenu);
    EXPECT_FALSE(state().actRunning);
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 1, 5, 5, 5, 33, 0, 25, 50, 0, 1, 2, 0));

    // Loaded in a new run, the town menu comes back.
    restartProgram();
    EXPECT_EQ(play("4\n99\n"), 0);
    EXPECT_EQ(console.screens().back(), kWizardMenu.substr(7));
    EXPECT_EQ(state().player.gold, 33);
}

TEST_F(WizardTown, SpeakingToTheWizardPlaysFiveLinesOnTheNextCall) {
    state().actStage = 2;
    EXPECT_EQ(playStep(playWizardTown, "1\n"), kWizardMenu);
    EXPECT_EQ(state().sceneStep, 2);
    EXPECT_EQ(state().actStage, 2);

    EXPECT_EQ(playStep(playWizardTown, "\n\n\n\n\n"),
              speech("Dubistrum", "You must be the person looking for an adventure.") +
                  speech("Dubistrum", "The world is in danger and only I can save it.") +
                  speech("Dubistrum", "But, I'm too old and frail but you can fix that") +
                  speech("Dubistrum", "Fetch me a drink from the fountain of youth to restore my youth") +
                  speech("Dubistrum", "If you are successful, I will reward you quite generously"));
    EXPECT_EQ(state().actStage, 3);
    EXPECT_EQ(state().sceneStep, 1);
}

TEST_F(CursedTown, CallForHelpPlaysOnceAndTheMenusStack) {
    state().actStage = 4;
    state().questCounter = 5;
    EXPECT_EQ(playStep(playCursedTown, "\n\n"), speech("?????", "Help, our town has been cursed!") +
                                                    speech("Phill", "My name is Phill, hurry come quick"));
    EXPECT_EQ(state().sceneStep, 2);

    // Refused or unlisted choices: the menu is printed again below itself.
    console.clearTranscript();
    for (const char* ignored : {"2\n", "0\n", "3\n", "12\n", "100\n"}) {
        console.type(ignored);
        playCursedTown();
    }
    std::string stacked;
    for (int pass = 0; pass < 5; ++pass) stacked += questMenu("5 remaining", false);
    EXPECT_EQ(transcript(), stacked);
    EXPECT_EQ(state().sceneStep, 2);
    EXPECT_EQ(state().actStage, 4);
    EXPECT_EQ(state().questCounter, 5);
}

TEST_F(CursedTown, ProgressLineAndContinueFollowTheCountAndTheLevel) {
    state().actStage = 4;
    state().sceneStep = 2;
    struct Case {
        int count, level;
        std::string progress;
        bool canContinue;
    };
    const Case cases[] = {
        {0, 21, "10 remaining", false},
        {5, 25, "5 remaining", false},
        {9, 21, "1 remaining", false},
        {9, 20, "1 remaining", false},
        {10, 20, "0 remaining", false},
        {10, 21, "0 remaining", true},
        {11, 1, "Level up to 21 to continue your adventure!", false},
        {11, 21, "Level up to 21 to continue your adventure!", true},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::to_string(each.count) + " ravens, level " + std::to_string(each.level));
        state().questCounter = each.count;
        state().player.level = each.level;
        state().actStage = 4;
        state().sceneStep = 2;
        EXPECT_EQ(playStep(playCursedTown, "2\n"), questMenu(each.progress, each.canContinue));
        if (each.canContinue) {
            EXPECT_EQ(state().actStage, 5);
            EXPECT_EQ(state().sceneStep, 1);
            EXPECT_EQ(state().questCounter, 0);
        } else {
            EXPECT_EQ(state().actStage, 4);
            EXPECT_EQ(state().sceneStep, 2);
            EXPECT_EQ(state().questCounter, each.count);
        }
    }
}

TEST_F(CursedTown, OnlyWonFightsAgainstRavensCount) {
    state().actStage = 4;
    state().sceneStep = 2;
    state().questCounter = 9;
    state().player.level = 21;

    steerNextMonster(false);
    std::string out = playStep(playCursedTown, "1\n" + kWin);
    EXPECT_EQ(out.find(" Raven[!]"), std::string::npos);
    EXPECT_NE(out.find("[!]"), std::string::npos);
    EXPECT_EQ(state().questCounter, 9);

    steerNextMonster(true);
    out = playStep(playCursedTown, "1\n" + kFlee);
    EXPECT_NE(out.find(" Raven[!]"), std::string::npos);
    EXPECT_EQ(state().questCounter, 9);

    steerNextMonster(true);
    out = playStep(playCursedTown, "1\n" + kWin);
    EXPECT_NE(out.find(" Raven[!]"), std::string::npos);
    EXPECT_GE(encounteredLevel(out), 16);
    EXPECT_LE(encounteredLevel(out), 20);
    EXPECT_EQ(state().questCounter, 10);
    // The quest is complete: Continue is offered now.
    EXPECT_EQ(playStep(playCursedTown, "0\n"), questMenu("0 remaining", true));

    // Ravens past the tenth still count.
    steerNextMonster(true);
    playStep(playCursedTown, "1\n" + kWin);
    EXPECT_EQ(state().questCounter, 11);
}

TEST_F(CursedTown, MenuHealsShowsTheSheetSavesAndExits) {
    state().actStage = 4;
    state().sceneStep = 2;
    state().questCounter = 7;
    state().player.level = 18;
    state().player.health = -40;
    playStep(playCursedTown, "10\n");
    EXPECT_EQ(state().player.health, 687);  // (18 x 0.25 + 1) x 125 = 687.5
    EXPECT_EQ(state().player.maxHealth, 687);

    // The sheet, then the next menu right under it.
    std::string out = playStep(playCursedTown, "11\n99\n");
    EXPECT_TRUE(startsWith(out, questMenu("3 remaining", false) + "<clear>" + kRule + "Ana\n")) << out;
    out = playStep(playCursedTown, "0\n");
    EXPECT_EQ(out, questMenu("3 remaining", false));

    playStep(playCursedTown, "98\n");
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 18, 5, 5, 5, 0, 0, 25, 50, 0, 2, 4, 7));
    playStep(playCursedTown, "99\n");
    EXPECT_FALSE(state().actRunning);

    // Loaded in a new run: the menu again with the same count, no speeches.
    restartProgram();
    EXPECT_EQ(play("4\n99\n"), 0);
    EXPECT_EQ(count("?????"), 0u);
    EXPECT_EQ(console.screens().back(), kMainMenuScreen + questMenu("3 remaining", false));
}

}  // namespace
}  // namespace talvoren::testing
