// Input no honest player types and files no honest game writes: each has a
// defined outcome, and none crashes, hangs or costs the player the save.
#include <filesystem>
#include <memory>
#include <string>

#include "console/art_file.h"
#include "console/input.h"
#include "persistence/save_file.h"
#include "rules/records.h"
#include "session.h"

namespace talvoren::testing {
namespace {

using BadInput = GameSession;

TEST_F(BadInput, HundredThousandCharacterNameIsSavedAndLoadedWhole) {
    const std::string name(100'000, 'n');
    // Backstory off, new game, the name, Cyrus' pause; the road saves at once.
    EXPECT_EQ(play("2\n1\n99\n1\n" + name + "\n\n"), 0);
    EXPECT_EQ(splitSaveLines(readFile("save1.txt")).at(1), name);

    EXPECT_EQ(playAgain("4\n"), 0);
    EXPECT_EQ(state().player.name, name);
    EXPECT_EQ(count(":: NOTICE ::"), 1u);
}

TEST_F(BadInput, ShortSaveKeepsTheStartingValueOfWhatItLacks) {
    // Thirteen lines: the missing raven count keeps its starting value.
    std::string thirteen = saveText("Ana", 21, 5, 5, 5, 0, 0, 25, 50, 0, 2, 4, 7);
    thirteen.erase(thirteen.rfind('\n'));
    writeFile("save1.txt", thirteen);
    EXPECT_EQ(play("4\n99\n"), 0);
    EXPECT_EQ(count("\n10 remaining\n"), 1u) << transcript();
}

TEST_F(BadInput, HundredMegabyteSaveReadsOnlyWhatASaveHolds) {
    writeFile("save1.txt",
              "Act 1\n" + std::string(2u << 20, 'n') + "\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n3\n0\n");
    std::filesystem::resize_file(folder / "save1.txt", 100u << 20);  // line 15 too, of zero bytes
    EXPECT_EQ(play("4\n99\n"), 0);
    EXPECT_EQ(state().player.name, std::string(kSaveLineLimit, 'n'));  // a name line is cut at 1 MiB
    EXPECT_EQ(state().actStage, 3);
    EXPECT_EQ(count("[1] Wispy Forrest [ LVL: 3 -- > 6 ]"), 1u);
}

TEST_F(BadInput, NumbersPastThirtyTwoBitsSaturateAndStayThere) {
    writeFile("save1.txt", "Act 1\nAna\n21\n5\n5\n5\n99999999999\n0\n25\n50\n0\n2\n4\n-99999999999999999999");
    EXPECT_EQ(play("4\n98\n99\n"), 0);
    // The count saturated low, far from complete; the ravens remaining stop at the top.
    EXPECT_EQ(count("\n2147483647 remaining\n"), 2u);
    EXPECT_EQ(count("[2] Continue"), 0u);
    const auto low = splitSaveLines(readFile("save1.txt"));
    EXPECT_EQ(low.at(6), "2147483647");
    EXPECT_EQ(low.at(13), "-2147483648");

    writeFile("save1.txt", "Act 1\nAna\n21\n5\n5\n5\n0\n0\n25\n50\n0\n2\n4\n99999999999");
    EXPECT_EQ(playAgain("4\n98\n99\n"), 0);
    // Two passes of the town's menu (before and after the save), stacked.
    EXPECT_EQ(count("Level up to 21 to continue your adventure!"), 2u);
    EXPECT_EQ(count("[2] Continue"), 2u);
    const auto lines = splitSaveLines(readFile("save1.txt"));
    EXPECT_EQ(lines.at(13), "2147483647");
}

TEST_F(BadInput, NegativeLevelAndAttributesNeverTakeGoldOrExperienceBackwards) {
    // Level -1 and negative attributes, in the first wilderness: heal, then a
    // fight won at once. The draws of a negative level would be negative.
    writeFile("save1.txt", saveText("Ana", -1, -2, -5, -3, 4, 9, 25, 50, 0, 1, 3, 0));
    EXPECT_EQ(play("4\n10\n1\n\n6142\n\n98\n99\n"), 0);
    EXPECT_EQ(count("You have looted 0 gold\nYou have earned 0 experience\n"), 1u) << transcript();
    EXPECT_EQ(state().player.gold, 4);
    EXPECT_EQ(state().player.experience, 9);
    EXPECT_EQ(state().player.health, -37);  // trunc(0.75 x -50): defined, if odd
}

TEST_F(BadInput, EndOfInputAtTheTurnPromptAndTheSpendingScreenSavesNothing) {
    const std::string save = saveText("Ana", 6, 5, 5, 5, 40, 300, 200, 700, 5, 1, 3, 0);
    writeFile("save1.txt", save);
    EXPECT_EQ(play("4\n1\n\n"), 0);  // the fight's turn prompt finds no answer
    EXPECT_EQ(count("[99] Flee\n> "), 1u);
    EXPECT_EQ(readFile("save1.txt"), save);

    EXPECT_EQ(playAgain("4\n11\n1\n2\nx\n"), 0);  // two of five points, then nothing
    EXPECT_EQ(count(" skill points remaining"), 3u);
    EXPECT_EQ(readFile("save1.txt"), save);
}

// No picture that large is shown, but the stream beneath has no bound of its
// own and keeps to constant memory.
TEST_F(BadInput, GigabyteFileIsStreamedThrough) {
    constexpr std::uintmax_t kSize = std::uintmax_t{1} << 30;
    writeFile("wasp.txt", "");
    std::filesystem::resize_file("wasp.txt", kSize);  // sparse: no disk needed
    console.setBudget({0, 0, 64 * 1024});
    const std::unique_ptr<ReadableFile> file = files.openForReading("wasp.txt");
    ASSERT_NE(file, nullptr);
    streamPicture(*file);
    EXPECT_EQ(console.outputBytes(), kSize + 1);  // and the line end it lacked
    EXPECT_EQ(transcript().back(), '\n');
}

}  // namespace
}  // namespace talvoren::testing
