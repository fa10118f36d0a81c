#include <filesystem>
#include <memory>
#include <string>

#include "console/art_file.h"
#include "console/text_kit.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

using TextKit = GameSession;

TEST_F(TextKit, LinesRulesDialogueAndTheSpeechScreen) {
    // A frame line: 120 characters, a "+" at each end and "-" between.
    EXPECT_EQ(ruleLine.size(), 120u);
    EXPECT_EQ(ruleLine.find_first_not_of('-', 1), 119u);
    EXPECT_EQ(ruleLine.front(), '+');
    EXPECT_EQ(ruleLine.back(), '+');

    printLine("");
    printLine("two\nrows");
    writeRuleLine();
    showDialogue("Cyrus", "Hello Traveller!\nWhat is your name?");
    EXPECT_EQ(transcript(),
              "\ntwo\nrows\n" + kRule + "Cyrus\n" + kRule + "Hello Traveller!\nWhat is your name?\n" + kRule);

    console.clearTranscript();
    console.type("\n");
    showSpeechScreen("Jimmy", "You may enter");
    EXPECT_EQ(transcript(),
              "<clear>Jimmy\n" + kRule + "You may enter\n" + kRule + "Press ENTER to continue...\n> ");
    EXPECT_EQ(console.unreadInput(), 0u);
}

TEST_F(TextKit, MenuPromptTurnsANonNumberIntoNoChoice) {
    console.type("7\nseven\n");
    EXPECT_EQ(readMenuChoice(), 7);
    EXPECT_EQ(readMenuChoice(), kNotOnAnyMenu);
    EXPECT_EQ(transcript(), "> > ");
}

using ArtFile = GameSession;

TEST_F(ArtFile, CopiesLinesAsTheyAre) {
    struct Case {
        const char* what;
        std::string contents;
        std::string shown;
    };
    const Case cases[] = {
        {"empty file", "", ""},
        {"last line without line end", "  /\\_/\\\n ( o.o )", "  /\\_/\\\n ( o.o )\n"},
        {"Windows line ends", "ab\r\ncd\r\n", "ab\ncd\n"},
        {"empty lines", "\n\n\n", "\n\n\n"},
        {"CR not before a line end stays", "a\rb\n", "a\rb\n"},
        {"CR at the very end", "ab\r", "ab\r\n"},
        {"trailing blanks kept", "x  \n\ty\n", "x  \n\ty\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        console.clearTranscript();
        writeFile("art.txt", each.contents);
        printArtFile("art.txt");
        EXPECT_EQ(transcript(), each.shown);
    }
}

TEST_F(ArtFile, CarriageReturnSplitFromItsLineEndAcrossAReadStillGoes) {
    // The stream reads in 64 KiB blocks; put the CR last in one block and the
    // LF first in the next. No picture shown is that large, but the stream has
    // no bound of its own.
    const std::string firstLine(64 * 1024 - 1, '#');
    writeFile("big.txt", firstLine + "\r\nend\r\n");
    const std::unique_ptr<ReadableFile> file = files.openForReading("big.txt");
    ASSERT_NE(file, nullptr);
    streamPicture(*file);
    EXPECT_EQ(transcript(), firstLine + "\nend\n");
}

TEST_F(ArtFile, UnopenableFileSaysSoOnALineOfItsOwn) {
    printArtFile("missing.txt");
    std::filesystem::create_directory(folder / "pictures");
    printArtFile("pictures");
    printArtFile("");
    EXPECT_EQ(transcript(), "Unable to open file\nUnable to open file\nUnable to open file\n");
}

}  // namespace
}  // namespace talvoren::testing
