#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "persistence/save_file.h"
#include "rules/records.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

const std::string kAnaSave = "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0";

// A hero with the saved fields given in the file's order, and 111 health,
// which no save holds.
Player heroOf(const std::string& name, std::int32_t level, std::int32_t intelligence, std::int32_t strength,
              std::int32_t agility, std::int32_t gold, std::int32_t experience, std::int32_t step,
              std::int32_t toNext, std::int32_t skillPoints) {
    Player hero;
    hero.name = name;
    hero.health = 111;
    hero.level = level;
    hero.intelligence = intelligence;
    hero.strength = strength;
    hero.agility = agility;
    hero.gold = gold;
    hero.experience = experience;
    hero.experienceStep = step;
    hero.experienceToNext = toNext;
    hero.skillPoints = skillPoints;
    return hero;
}

TEST(SaveWriter, NewHeroGivesTheFourteenLinesInFileOrder) {
    Player ana;
    ana.name = "Ana";
    EXPECT_EQ(formatSave(ana, Progress{}, "\n"), kAnaSave);
    EXPECT_EQ(formatSave(ana, Progress{}, "\r\n"),
              "Act 1\r\nAna\r\n1\r\n5\r\n5\r\n5\r\n0\r\n0\r\n25\r\n50\r\n0\r\n1\r\n1\r\n0");

    // Every field distinct, so a swapped pair of lines shows; health is not saved.
    const Player hero = heroOf("Bo Rin", 2, 3, 4, 6, -7, 8, 9, 10, kMin);
    EXPECT_EQ(formatSave(hero, Progress{5, 11, kMax}, "\n"),
              "Act 1\nBo Rin\n2\n3\n4\n6\n-7\n8\n9\n10\n-2147483648\n11\n5\n2147483647");
}

class SaveFile : public GameSession {
protected:
    // Loads `contents` as the save file; true when the game would continue it.
    // Loads `contents` as save1.txt, with Enter typed for a failure's pause.
    bool load(const std::string& contents) {
        writeFile("save1.txt", contents);
        state().currentScreen = 1;
        console.type("\n");
        loadGame();
        test_support::renewInput();  // a load that continues leaves the Enter unread
        return state().currentScreen == 99;
    }
    // The holding records as the game would write them.
    static std::string loaded() { return formatSave(state().loadedPlayer, state().loadedProgress, "\n"); }
};

TEST_F(SaveFile, SaveGameWritesTheLiveHeroAndProgress) {
    state().player.name = "Ana";
    saveGame(state().player, state().progress());
    EXPECT_EQ(readFile("save1.txt"), kAnaSave);

    state().player.gold = 40;
    state().actStage = 3;
    saveGame(state().player, state().progress());  // a second save replaces the first whole
    EXPECT_EQ(readFile("save1.txt"), "Act 1\nAna\n1\n5\n5\n5\n40\n0\n25\n50\n0\n1\n3\n0");
    EXPECT_EQ(transcript(), "");  // saving prints nothing

    // Every field different, so a swapped pair of lines in the reader would show.
    state().player = heroOf("Bo Rin", 2, kMax, -4, 6, kMin, 8, 9, 10, -3);
    state().actStage = 4;
    state().sceneStep = 2;
    state().questCounter = 3;
    saveGame(state().player, state().progress());
    state().currentScreen = 1;
    loadGame();
    EXPECT_EQ(state().currentScreen, 99);
    EXPECT_EQ(loaded(), readFile("save1.txt"));
    EXPECT_EQ(state().loadedPlayer.health, 0);  // never part of a save
}

TEST_F(SaveFile, ReaderTakesEachLineItFinds) {
    const std::string cara = saveText("Cara", 9, 8, 7, 6, 5, 4, 3, 2, 1, 3, 5, 2);
    EXPECT_TRUE(load(cara));
    // A short file keeps the earlier values of the lines it lacks.
    EXPECT_TRUE(load("Act 1\nDan\n3"));
    EXPECT_EQ(loaded(), saveText("Dan", 3, 8, 7, 6, 5, 4, 3, 2, 1, 3, 5, 2));
    // Lines past the fourteenth are ignored.
    EXPECT_TRUE(load(cara + "\n777\n888"));
    EXPECT_EQ(loaded(), cara);
    // Windows line ends, and a name with blanks loads whole.
    EXPECT_TRUE(
        load("Act 1\r\nAna Maria\r\n2\r\n6\r\n7\r\n8\r\n9\r\n10\r\n50\r\n125\r\n5\r\n2\r\n3\r\n4\r\n"));
    EXPECT_EQ(loaded(), saveText("Ana Maria", 2, 6, 7, 8, 9, 10, 50, 125, 5, 2, 3, 4));
    EXPECT_EQ(transcript(), "");
}

TEST(SaveHeader, OnlyTheExactHeaderContinuesTheGame) {
    const std::string body = "\nFay\n4\n5\n5\n5\n0\n0\n25\n50\n0\n1\n2\n0";
    // Whatever the header, the other lines are stored all the same; only the
    // continue step would use them.
    const std::string fay = "Act 1" + body;
    std::string binary;
    for (int round = 0; round < 64; ++round) {
        for (int byte = 0; byte < 256; ++byte) binary.push_back(static_cast<char>(byte));
    }
    struct Case {
        const char* what;
        std::string file;
        bool continued;
        std::string stored;  // empty: not looked at
    };
    const Case cases[] = {
        {"Act 1", fay, true, fay},
        {"Windows line ends", "Act 1\r\nFay\r\n4\r\n5\r\n5\r\n5\r\n0\r\n0\r\n25\r\n50\r\n0\r\n1\r\n2\r\n0",
         true, fay},
        {"act 1", "act 1" + body, false, fay},
        {"a blank after", "Act 1 " + body, false, fay},
        {"a blank before", " Act 1" + body, false, fay},
        {"Act 2", "Act 2" + body, false, fay},
        {"a tab after", "Act 1\t" + body, false, fay},
        {"an empty header line", body, false, fay},
        {"an empty file: a new hero stays", "", false, "Act 1\n\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0"},
        {"binary bytes", binary, false, ""},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        Player hero;
        Progress progress;
        const std::vector<std::string> lines = splitSaveLines(each.file);
        EXPECT_EQ(canBeContinued(lines), each.continued);
        EXPECT_EQ(applySaveLines(lines, hero, progress), each.continued);
        if (!each.stored.empty()) {
            EXPECT_EQ(formatSave(hero, progress, "\n"), each.stored);
        }
    }
}

TEST(SaveNumbers, ReadLikeAtoiButSaturate) {
    struct Case {
        const char* line;
        std::int32_t value;
    };
    // clang-format off
    const Case cases[] = {
        {"42", 42}, {"-3", -3}, {"+4", 4}, {"-0", 0}, {"  \t7", 7}, {"12abc", 12}, {"abc", 0}, {"", 0},
        {"-", 0}, {"- 5", 0}, {"1 2", 1}, {"0000000000000000000000000012", 12},
        {"2147483647", kMax}, {"2147483648", kMax}, {"99999999999", kMax},
        {"99999999999999999999999999", kMax},
        {"-2147483648", kMin}, {"-2147483649", kMin}, {"-99999999999", kMin},
        {"-99999999999999999999999999", kMin},
    };
    // clang-format on
    for (const Case& each : cases) {
        EXPECT_EQ(parseSaveNumber(each.line), each.value) << "line '" << each.line << "'";
    }
}

TEST_F(SaveFile, UnopenableSaveSaysSo) {
    state().currentScreen = 1;
    console.type("\n");
    loadGame();
    std::filesystem::create_directory(folder / "save1.txt");
    console.type("\n");
    loadGame();
    EXPECT_EQ(transcript(), "Unable to open file\n" + kPause + "Unable to open file\n" + kPause);
    EXPECT_EQ(state().currentScreen, 1);
}

// The in-memory splitter must read a file the way loadGame reads it from disk.
TEST_F(SaveFile, SplitterAgreesWithTheFileReader) {
    const std::string contents[] = {
        kAnaSave,
        kAnaSave + "\n",
        "Act 1\r\nHal\r\n3\r\n",
        "Act 1\nIvy\n\n\n4",
        "Act 1\nJo\r\r\n5\r",
        saveText("Kai", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12) + "\n13\n14",
        "\n\n\n",
        "x",
    };
    for (const std::string& text : contents) {
        SCOPED_TRACE(text);
        Player hero;
        Progress progress;
        const bool isActOne = applySaveLines(splitSaveLines(text), hero, progress);
        state().loadedPlayer = Player{};
        state().loadedProgress = Progress{};
        EXPECT_EQ(load(text), isActOne);
        EXPECT_EQ(loaded(), formatSave(hero, progress, "\n"));
    }
}

// The disk reader hands the splitter the file in blocks: where a block ends
// must not change a line, not even between a CR and its LF or at the cut.
TEST(SaveSplitter, LinesDoNotDependOnWhereTheFileIsCut) {
    const std::string full(kSaveLineLimit, 'n');
    const std::string shortOfFull(kSaveLineLimit - 1, 'n');
    // A line's own CR goes before the cut; a CR inside the line is a byte like any other.
    const std::string text =
        "Act 1\r\n" + full + "\r\n" + shortOfFull + "\rxx\r\n7\r\n\r\n8" + std::string(14, '\n') + "tail";
    const std::vector<std::string> expected{"Act 1", full, shortOfFull + "\r", "7", "", "8"};
    const std::vector<std::string> whole = splitSaveLines(text);
    ASSERT_EQ(whole.size(), kSaveLineCount);  // eight empty lines after "8"; "tail" is never read
    EXPECT_EQ(std::vector<std::string>(whole.begin(), whole.begin() + 6), expected);
    for (const std::size_t pieceSize : {std::size_t{1}, std::size_t{7}, std::size_t{64 * 1024}}) {
        SaveLineSplitter splitter;
        for (std::size_t at = 0; at < text.size() && splitter.wantsMore(); at += pieceSize) {
            splitter.add(std::string_view(text).substr(at, pieceSize));
        }
        EXPECT_EQ(splitter.finish(), whole) << pieceSize;
    }
}

// However its lines are cut, a file whose fourteen lines have not ended
// within 16 MiB holds no save, and is read no further.
TEST(SaveSplitter, FourteenLinesMustEndWithinSixteenMebibytes) {
    const std::string numbers = "\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n3\n0";
    const std::string atTheLimit =
        "Act 1\n" + std::string(static_cast<std::size_t>(kSaveReadLimit) - 6 - numbers.size(), 'n') + numbers;
    const std::vector<std::string> lines = splitSaveLines(atTheLimit);
    ASSERT_EQ(lines.size(), kSaveLineCount);
    EXPECT_EQ(lines[1].size(), kSaveLineLimit);
    EXPECT_EQ(lines[13], "0");
    EXPECT_TRUE(splitSaveLines(atTheLimit + "\n").empty());
    EXPECT_TRUE(splitSaveLines(atTheLimit + "0").empty());

    SaveLineSplitter splitter;
    const std::string block(64 * 1024, '\0');
    std::size_t blocks = 0;
    for (; splitter.wantsMore(); ++blocks) splitter.add(block);
    EXPECT_EQ(blocks, kSaveReadLimit / block.size() + 1);
    EXPECT_TRUE(splitter.finish().empty());
}

}  // namespace
}  // namespace talvoren::testing
