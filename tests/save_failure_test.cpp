// Saves that cannot be made, files that cannot be read, and names from
// outside the game, as a player meets them on the simulated console.
#include <string>

#include "character/character_sheet.h"
#include "console/art_file.h"
#include "console/shown_name.h"
#include "persistence/save_file.h"
#include "rules/records.h"
#include "session.h"
#include "shell/shell.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kNoSpace = "Unable to save the game to save1.txt: No space left on device\n";

class SaveFailure : public GameSession {
protected:
    // A run that loads a save at `stage` and `step`, then answers `input`.
    void playFrom(int stage, int step, const std::string& input) {
        old = saveText("Ana", 21, 5, 5, 5, 7, 0, 25, 50, 0, step, stage, 10);
        writeFile("save1.txt", old);
        EXPECT_EQ(play("4\n" + input), 0);
    }
    std::string old;
};

TEST_F(SaveFailure, EverySavePointSaysWhyAndPlayGoesOn) {
    struct Case {
        const char* where;
        int stage;
        int step;
        // After the failure's pause: a menu shown again, or the scene's next screen.
        const char* next;
    };
    const Case cases[] = {
        {"the road's notice", 1, 1, ":: NOTICE ::"},
        {"the road's walk", 1, 2, "OBJECTIVE: Get to the town about 15 miles away."},
        {"the wizard's town", 2, 1, "Town :: Objectives :: Speak to the Wizard"},
        {"the first wilderness", 3, 1, "[98] Save Game"},
        {"the cursed town", 4, 2, "Town :: Objective :: Kill 5 Ravens"},
        {"the second wilderness", 5, 1, "[98] Save Game"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.where);
        restartProgram();
        files.failSaves("No space left on device");
        // The road saves by itself; the menus save on 98. Then the pause, then leave.
        const std::string answer = each.stage == 1 ? "" : "98\n";
        playFrom(each.stage, each.step, answer + "\n99\n");
        const std::size_t failure = transcript().find(kNoSpace + kPause);
        ASSERT_NE(failure, std::string::npos) << transcript();
        EXPECT_EQ(count("Unable to save"), 1u);
        EXPECT_NE(transcript().find(each.next, failure), std::string::npos) << transcript();
        EXPECT_EQ(readFile("save1.txt"), old);
    }
}

TEST_F(SaveFailure, EndOfTheActSaysWhyInsteadOfClaimingTheSave) {
    files.failSaves("Read-only file system");
    playFrom(6, 1, "\n");
    EXPECT_NE(transcript().find(kRule +
                                "You have finished act 1!\n"
                                "Unable to save the game to save1.txt: Read-only file system\n" +
                                kRule + kPause),
              std::string::npos)
        << transcript();
    EXPECT_EQ(count("All your game data has been saved"), 0u);
    EXPECT_EQ(count(kPause), 1u);  // the act's own pause, no second one
    EXPECT_EQ(readFile("save1.txt"), old);

    // With room on the disk again, the same ending saves and says so.
    files.failSaves("");
    restartProgram();
    playFrom(6, 1, "\n");
    EXPECT_EQ(count("All your game data has been saved"), 1u);
    EXPECT_EQ(count("Unable to save"), 0u);
    EXPECT_EQ(readFile("save1.txt"), saveText("Ana", 21, 5, 5, 5, 7, 0, 25, 50, 0, 1, 6, 10));
}

TEST_F(SaveFailure, SaveThatCannotBeReadWholeLoadsNothing) {
    writeFile("save1.txt", saveText("Ana", 21, 5, 5, 5, 7, 0, 25, 50, 0, 1, 3, 0));
    files.cutReadsShort("save1.txt", 9);
    state().currentScreen = 1;
    console.type("\n\n");  // Enter for each pause
    loadGame();
    EXPECT_EQ(transcript(), "Unable to open file\n" + kPause);
    EXPECT_EQ(state().currentScreen, 1);
    EXPECT_EQ(state().loadedPlayer.name, "");  // not "Ana", cut short

    console.clearTranscript();
    files.failOpening("save1.txt");
    loadGame();
    EXPECT_EQ(transcript(), "Unable to open file\n" + kPause);
    EXPECT_EQ(state().currentScreen, 1);
}

TEST_F(SaveFailure, PictureCutShortShowsWhatWasReadAndEndsTheLine) {
    writeFile("art.txt", "/\\_/\\\n( o.o )\n > ^ <\n");
    files.cutReadsShort("art.txt", 10);
    printArtFile("art.txt");
    EXPECT_EQ(transcript(), "/\\_/\\\n( o.\n");

    console.clearTranscript();
    files.failOpening("art.txt");
    printArtFile("art.txt");
    EXPECT_EQ(transcript(), "Unable to open file\n");
}

using ShownNames = GameSession;

TEST_F(ShownNames, ControlBytesOfALoadedNameShowAsQuestionMarks) {
    addPictures();
    const std::string name = "Ana\x1b]0;owned\x07\x1b[31mX\x7f";
    const std::string shown = "Ana?]0;owned??[31mX?";
    const std::string save = saveText(name, 1, 5, 5, 5, 0, 0, 25, 50, 0, 2, 1, 0);
    writeFile("save1.txt", save);
    // The walk shows the name, then a fight's turn screen and the character sheet would too.
    EXPECT_EQ(play("4\n\n\n1\n"), 0);
    EXPECT_NE(transcript().find("OBJECTIVE: Get to the town about 15 miles away.\n" + shown + "\n"),
              std::string::npos);
    EXPECT_NE(transcript().find(shown + " ["), std::string::npos);  // the turn screen
    EXPECT_EQ(transcript().find('\x1b'), std::string::npos);
    EXPECT_EQ(transcript().find('\x07'), std::string::npos);
    EXPECT_EQ(readFile("save1.txt"), save);  // the file keeps the bytes as they were

    // Eight-bit controls too ("Zoë", CSI as UTF-8 and as one byte, BEL), as
    // the console encodes them.
    for (const auto& [encoding, shownThere] :
         {std::pair<TextEncoding, std::string>{TextEncoding::utf8, "Zo\xc3\xab?31m?0;t?"},
          {TextEncoding::eightBit, "Zo\xc3\xab\xc2?31m?0;t?"}}) {
        restartProgram();
        console.setTextEncoding(encoding);
        writeFile("save1.txt", saveText("Zo\xc3\xab\xc2\x9b"
                                        "31m\x9b"
                                        "0;t\x07",
                                        1, 5, 5, 5, 0, 0, 25, 50, 0, 2, 1, 0));
        play("4\n\n\n1\n");
        EXPECT_NE(transcript().find("OBJECTIVE: Get to the town about 15 miles away.\n" + shownThere + "\n"),
                  std::string::npos)
            << transcript();
        EXPECT_EQ(transcript().find('\x9b'), std::string::npos);
    }

    restartProgram();
    state().player.name = "Zo\xc3\xab\t";
    console.type("99\n");
    showCharacterStats();
    EXPECT_NE(transcript().find(kRule + "Zo\xc3\xab?\nGold 0\n"), std::string::npos) << transcript();
}

TEST(ShownName, EightBitControlsShowAsQuestionMarksAsTheConsoleEncodesThem) {
    // "Zoë", CSI as UTF-8 (C2 9B) and as one byte, an overlong "/", a lone
    // continuation byte, the euro sign in UTF-8, and ESC.
    const std::string name = "Zo\xc3\xab|\xc2\x9b|\x9b|\xc0\xaf|\x80|\xe2\x82\xac|\x1b";
    EXPECT_EQ(shownName(name, TextEncoding::utf8), "Zo\xc3\xab|?|?|??|?|\xe2\x82\xac|?");
    EXPECT_EQ(shownName(name, TextEncoding::eightBit), "Zo\xc3\xab|\xc2?|?|\xc0\xaf|?|\xe2?\xac|?");
    EXPECT_EQ(shownName(name, TextEncoding::codePage),
              "Zo\xc3\xab|\xc2\x9b|\x9b|\xc0\xaf|\x80|\xe2\x82\xac|?");
    // Cut short, or a surrogate: no UTF-8. Four bytes that are: shown whole.
    EXPECT_EQ(shownName("\xe2\x82", TextEncoding::utf8), "??");
    EXPECT_EQ(shownName("\xed\xa0\x80", TextEncoding::utf8), "???");
    EXPECT_EQ(shownName("\xf0\x9f\x90\x89", TextEncoding::utf8), "\xf0\x9f\x90\x89");

    // The first locale variable set decides, in any letter case.
    EXPECT_EQ(encodingOfLocale("", "", "en_US.UTF-8"), TextEncoding::utf8);
    EXPECT_EQ(encodingOfLocale("", "C.utf8", "de_DE.ISO-8859-1"), TextEncoding::utf8);
    EXPECT_EQ(encodingOfLocale("C", "C.UTF-8", "en_US.UTF-8"), TextEncoding::eightBit);
    EXPECT_EQ(encodingOfLocale("", "", ""), TextEncoding::eightBit);
}

}  // namespace
}  // namespace talvoren::testing
