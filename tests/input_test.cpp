#include "console/input.h"

#include <optional>
#include <string>

#include "console/game_context.h"
#include "fresh_game.h"
#include "rules/records.h"
#include "session.h"
#include "shell/shell.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kOptions = "<clear>[1] Disable Backstory\n[2] Disable Tutorial\n[99] Exit\n> ";
const std::string kCredits =
    "<clear>Programmer: Mara Lindqvist\nStory Idear: Tobias Renn\nGame Tester: Ines Okafor\n"
    "Press ENTER to continue...\n> ";

std::string menus(int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += kMainMenu;
    return all;
}

using Input = GameSession;

TEST_F(Input, MenuNumbersReadLikeFormattedIntegers) {
    console.type("  -5\n+2\n\n\t2147483647 -2147483648 12abc\n7 2147483648 5\n-2147483649\n- 3\n+\n9");
    InputSource& input = game().input;
    EXPECT_EQ(input.readMenuNumber(), -5);
    EXPECT_EQ(input.readMenuNumber(), 2);
    EXPECT_EQ(input.readMenuNumber(), 2147483647);
    EXPECT_EQ(input.readMenuNumber(), -2147483647 - 1);
    EXPECT_EQ(input.readMenuNumber(), 12);
    EXPECT_EQ(input.readMenuNumber(), std::nullopt);  // "abc", its line dropped
    EXPECT_EQ(input.readMenuNumber(), 7);
    EXPECT_EQ(input.readMenuNumber(), std::nullopt);  // past 32 bits: " 5" goes with it
    EXPECT_EQ(input.readMenuNumber(), std::nullopt);  // below 32 bits
    EXPECT_EQ(input.readMenuNumber(), std::nullopt);  // a sign alone: " 3" goes with it
    EXPECT_EQ(input.readMenuNumber(), std::nullopt);
    EXPECT_EQ(input.readMenuNumber(), 9);
    EXPECT_THROW(input.readMenuNumber(), EndOfInput);
    EXPECT_THROW(input.readMenuNumber(), EndOfInput);  // and stays ended

    restartProgram();
    console.type("\n \t Ana Smith\nBo");
    InputSource& words = game().input;
    EXPECT_EQ(words.readWord(), "Ana");
    EXPECT_EQ(words.readWord(), "Smith");
    EXPECT_EQ(words.readWord(), "Bo");
    EXPECT_THROW(words.readWord(), EndOfInput);

    // A word of 3 MiB keeps its first 1 MiB; the rest of it is dropped, the next word is not.
    restartProgram();
    console.type(std::string(1u << 20, 'a') + std::string(2u << 20, 'b') + " Cy\n");
    InputSource& longWords = game().input;
    EXPECT_EQ(longWords.readWord(), std::string(kLongestWord, 'a'));
    EXPECT_EQ(longWords.readWord(), "Cy");
}

// Answers at the main menu and the screens they lead to.
TEST_F(Input, AnswersAtTheMainMenu) {
    struct Case {
        const char* what;
        const char* input;
        std::string shown;
    };
    const Case cases[] = {
        // Each bad answer would otherwise leave "1" or "2" to open a screen.
        {"a bad answer drops its line and redraws the menu once", "abc 1\n2147483648 1\n-99999999999 2\n99\n",
         kStartUp + menus(4)},
        {"a bare Enter keeps the menu waiting", "\n\n  \n\t\n99\n", kStartUp + kMainMenu},
        // -5 is a number not on the menu, so "+2" on the same line still counts.
        {"signed numbers, and two answers on one line", "-5 +2\n1 2\n99\n99\n",
         kStartUp + menus(2) + kOptions + "<clear>[1] Enable Backstory\n[2] Disable Tutorial\n[99] Exit\n> " +
             "<clear>[1] Enable Backstory\n[2] Enable Tutorial\n[99] Exit\n> " + kMainMenu},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        restartProgram();
        EXPECT_EQ(play(each.input), 0);
        EXPECT_EQ(transcript(), each.shown);
        EXPECT_EQ(state().currentScreen, 1);
    }
}

TEST_F(Input, EndOfInputStopsTheGameWithoutSaving) {
    const std::string rule = "+" + std::string(118, '-') + "+";
    const std::string namePrompt = "** SPACES ARE NOT ALLOWED **\n" + rule + "> ";
    const std::string pause = "Press ENTER to continue...\n> ";
    struct Case {
        const char* input;
        std::string endsWith;
    };
    const Case cases[] = {
        {"", "[99] Exit\n> "},                                   // main menu
        {"abc", "[99] Exit\n> "},                                // a bad answer cut short
        {"2\n", "[2] Disable Tutorial\n[99] Exit\n> "},          // options
        {"1\n", namePrompt},                                     // name prompt
        {"1\n \n\n", namePrompt},                                // only blank lines for a name
        {"3\n", pause},                                          // credits
        {"1\nAna\n", "I forget the tale...\n" + pause},          // backstory
        {"1\nAna\n\n", "about 5 miles away.\n" + rule + pause},  // Cyrus
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::string("input '") + each.input + "'");
        restartProgram();
        EXPECT_EQ(play(each.input), 0);
        const std::string& text = console.transcript();
        ASSERT_GE(text.size(), each.endsWith.size());
        EXPECT_EQ(text.substr(text.size() - each.endsWith.size()), each.endsWith);
        EXPECT_EQ(console.unreadInput(), 0u);
        EXPECT_FALSE(fileExists("save1.txt"));
    }
}

// The credits' pause ends on one fresh character: what was already typed
// behind "3" is dropped, up to its line end, without waiting for more.
TEST_F(Input, PauseTakesOneFreshCharacter) {
    struct Case {
        const char* what;
        const char* typed;
        std::int64_t laterMs;
        const char* typedLater;
        std::string shown;
    };
    const Case cases[] = {
        // The rest of the "3" line is half typed; its line end comes a second
        // later. Had the pause waited for it, the next menu would read "9".
        {"drops only what is already typed", "3 xyz", 1000, "\n99\n",
         kStartUp + kMainMenu + kCredits + kMainMenu},
        // The pause skips the line end behind "3", waits, and takes only "x":
        // "2" opens the options.
        {"waits for one character and takes only that", "3\n", 5000, "x2\n99\n99\n",
         kStartUp + kMainMenu + kCredits + kMainMenu + kOptions + kMainMenu},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        clock = SimulatedClock();
        restartProgram();
        console.type(each.typed);
        console.typeAt(each.laterMs, each.typedLater);
        EXPECT_EQ(runGame(), 0);
        EXPECT_EQ(transcript(), each.shown);
        EXPECT_EQ(clock.nowMs(), each.laterMs);
        EXPECT_EQ(console.unreadInput(), 0u);
    }
}

}  // namespace
}  // namespace talvoren::testing
