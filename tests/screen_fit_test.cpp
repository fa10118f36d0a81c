// Screens on a console of any width: the rows a player sees, on an
// xterm-like terminal and on the Windows console, which wrap differently.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "combat/timing_bar.h"
#include "console/art_file.h"
#include "console/text_kit.h"
#include "rules/row_fitter.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

// A frame line as wide as `columns`: a plus at each end, dashes between.
std::string rule(int columns) {
    std::string line = "+";
    line.append(static_cast<std::size_t>(columns - 2), '-');
    return line.append("+");
}

// The rows a console of `width` columns shows for `bytes` (markers such as
// "<colour 15>" skipped). `wrapsAtLastColumn`: the Windows console moves on
// as the last column is written; an xterm waits for the next character.
// Trailing blanks are trimmed; the cursor's empty last row is left out.
std::vector<std::string> rowsSeen(const std::string& bytes, int width, bool wrapsAtLastColumn) {
    std::vector<std::string> rows(1);
    bool pendingWrap = false;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c == '<' && bytes.find('>', at) != std::string::npos) {
            at = bytes.find('>', at);
            continue;
        }
        if (c == '\n') {
            rows.emplace_back();
            pendingWrap = false;
            continue;
        }
        if (pendingWrap) rows.emplace_back();
        pendingWrap = false;
        rows.back().push_back(c);
        if (static_cast<int>(rows.back().size()) == width) {
            if (wrapsAtLastColumn) {
                rows.emplace_back();
            } else {
                pendingWrap = true;
            }
        }
    }
    for (std::string& row : rows) row.erase(row.find_last_not_of(' ') + 1);
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

using Rows = std::vector<std::string>;

TEST(RowFitter, LinesWrapAtBlanksAndFrameLinesStandAlone) {
    struct Case {
        const char* what;
        int width;
        std::string text;  // "|" stands for a frame line of 120 columns
        Rows seen;
    };
    const Case cases[] = {
        {"a line that fits", 20, "short line\n", {"short line"}},
        {"wrap at the last blank",
         16,
         "The quick brown fox jumps over the lazy dog\n",
         {"The quick brown", "fox jumps over", "the lazy dog"}},
        {"a line exactly as wide as the row", 9, "123456789\nnext\n", {"123456789", "next"}},
        {"a blank on the edge ends the row", 5, "abcde fgh\n", {"abcde", "fgh"}},
        {"a word wider than the row is cut", 8, "Dubistrum has\n", {"Dubistru", "m has"}},
        {"a narrow frame line", 10, "Cyrus\n|Hello\n|", {"Cyrus", "+--------+", "Hello", "+--------+"}},
        {"no blank row after a frame line", 10, "|\nnext\n", {"+--------+", "next"}},
        {"a frame line after text starts a row", 10, "ab|", {"ab", "+--------+"}},
        {"wide console: 120 columns", 132, "|x\n", {rule(120), "x"}},
        {"exactly 120 columns", 120, "|x\n", {rule(120), "x"}},
    };
    for (const bool wrapsAtLastColumn : {false, true}) {
        for (const Case& each : cases) {
            SCOPED_TRACE(std::string(each.what) + (wrapsAtLastColumn ? ", Windows console" : ", xterm"));
            RowFitter fitter(each.width, wrapsAtLastColumn);
            std::string out;
            std::string text = each.text;
            for (std::size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|')) {
                fitter.put(text.substr(0, bar), out);
                fitter.rule(120, out);
                text.erase(0, bar + 1);
            }
            fitter.put(text, out);
            fitter.release(out);
            EXPECT_EQ(rowsSeen(out, each.width, wrapsAtLastColumn), each.seen);
        }
    }
}

// Today's 120-column console: the frame line is written with no line end.
TEST(RowFitter, WindowsConsoleOf120ColumnsGetsTheSameBytesAsBefore) {
    RowFitter fitter(120, true);
    std::string out;
    fitter.put("Cyrus\n", out);
    fitter.rule(120, out);
    fitter.put("Hello Traveller!\n", out);
    EXPECT_EQ(out, "Cyrus\n" + kRule + "Hello Traveller!\n");
}

class ScreenFit : public GameSession {
protected:
    Rows lastScreen(int width, bool wrapsAtLastColumn) const {
        return rowsSeen(console.screens().back(), width, wrapsAtLastColumn);
    }
};

TEST_F(ScreenFit, BackstoryAndSpeechAt80Columns) {
    for (const bool wrapsAtLastColumn : {false, true}) {
        SCOPED_TRACE(wrapsAtLastColumn ? "Windows console" : "xterm");
        restartProgram();
        console.setConsoleWidth(80);
        console.setWrapsAtLastColumn(wrapsAtLastColumn);
        play("1\nAna\n\n");
        const std::vector<std::string> screens = console.screens();
        ASSERT_GE(screens.size(), 4u);
        const Rows backstory = rowsSeen(screens[3], 80, wrapsAtLastColumn);
        const Rows firstRows = {
            "Humanity as we know, is in danger. All the peaceful creatures have been driven",
            "mad by this power crystal.",
            "The power crystal can only be destroyed by magic, but wizards are extinct...",
            "Except one...",
            "Dubistrum, the only wizard still left alive... But he is too old and frail, but",
            "there is a way to evade it.",
        };
        ASSERT_GE(backstory.size(), firstRows.size());
        EXPECT_EQ(Rows(backstory.begin(), backstory.begin() + 6), firstRows);
        const Rows expectedSpeech = {"Cyrus",
                                     rule(80),
                                     "Dubistrum has been waiting for you!",
                                     "He is in the next town over, about 5 miles away.",
                                     rule(80),
                                     "Press ENTER to continue...",
                                     ">"};
        EXPECT_EQ(lastScreen(80, wrapsAtLastColumn), expectedSpeech);
    }
}

TEST_F(ScreenFit, WidthIsReadAfreshForEveryScreen) {
    console.setConsoleWidth(100);
    console.type("\n\n");
    showSpeechScreen("Jimmy", "You may enter");
    EXPECT_EQ(lastScreen(100, false)[1], rule(100));
    console.setConsoleWidth(60);
    showSpeechScreen("Jimmy", "You may enter");
    EXPECT_EQ(lastScreen(60, false)[1], rule(60));
    EXPECT_EQ(lastScreen(60, false)[2], "You may enter");
}

// A picture wider than the console is cut at its edge, never wrapped into a
// mess: a 64-column picture on a 41-column console shows each line's first
// 41 columns, and the text after it starts on a row of its own.
TEST_F(ScreenFit, PicturesAreCutAtTheConsoleWidth) {
    const std::string wide = std::string(41, 'x') + std::string(23, 'y');  // 64 columns
    writeFile("art.txt", wide + "\r\n  /\\_/\\\n" + wide + "\n" + wide);
    const Rows seen = {std::string(41, 'x'), "  /\\_/\\", std::string(41, 'x'), std::string(41, 'x'),
                       "The bear growls at you from the bushes."};
    for (const bool wrapsAtLastColumn : {false, true}) {
        SCOPED_TRACE(wrapsAtLastColumn ? "Windows console" : "xterm");
        restartProgram();
        console.setConsoleWidth(41);
        console.setWrapsAtLastColumn(wrapsAtLastColumn);
        clearScreen();
        printArtFile("art.txt");
        printLine("The bear growls at you from the bushes.");
        EXPECT_EQ(lastScreen(41, wrapsAtLastColumn), seen) << transcript();
    }
}

// Pictures come from the working folder first, so a planted one must not
// drive the terminal: on a console its control bytes show as "?", and so on
// a terminal that reports no size (a pseudo-terminal of 0 columns, a serial
// line): no title, no clear, no CSI. Piped, the picture passes byte for
// byte, as it always has.
TEST_F(ScreenFit, ControlBytesInPicturesShowAsQuestionMarksOnAConsole) {
    writeFile("art.txt", "\x1b[2Jgone\r\nbell\a tab\there\rover\x7f\r\nlast\r");
    writeFile("title.txt",
              "\x1b]0;pwned\x07\x1b[2J\x9b"
              "2J caf\xc3\xa9\r\n");
    struct Case {
        const char* what;
        std::optional<int> width;
        std::string shown;
    };
    const Case cases[] = {
        {"80 columns", 80, "?[2Jgone\nbell? tab?here?over?\nlast?\n?]0;pwned??[2J?2J caf\xc3\xa9\n"},
        {"no size", 0, "?[2Jgone\nbell? tab?here?over?\nlast?\n?]0;pwned??[2J?2J caf\xc3\xa9\n"},
        {"piped", std::nullopt,
         "\x1b[2Jgone\nbell\a tab\there\rover\x7f\nlast\r\n\x1b]0;pwned\x07\x1b[2J\x9b"
         "2J caf\xc3\xa9\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        restartProgram();
        console.setConsoleWidth(each.width);
        printArtFile("art.txt");
        printArtFile("title.txt");
        EXPECT_EQ(transcript(), each.shown);
    }
}

// On a console that reads UTF-8, a C1 control written as UTF-8 (CSI is C2 9B)
// would act like ESC [: it shows as "?" too, even split between two blocks
// of the file; a one-byte-a-character console takes the byte 9B alone for it.
TEST_F(ScreenFit, EightBitControlsInPicturesShowAsQuestionMarksOnAConsole) {
    std::string split;
    while (split.size() + 80 < 64 * 1024) split += std::string(79, 'x') + "\n";
    split += std::string(64 * 1024 - 1 - split.size(), 'y') + "\xc2\x9b" + "2J\n";  // C2 ends the first block
    writeFile("art.txt",
              "caf\xc3\xa9 \xc2\x9b"
              "2J \x9b"
              "2J\n");
    writeFile("split.txt", split);
    console.setConsoleWidth(80);
    printArtFile("art.txt");
    EXPECT_EQ(transcript(), "caf\xc3\xa9 ?2J ?2J\n");

    console.clearTranscript();
    const std::unique_ptr<ReadableFile> file = files.openForReading("split.txt");  // past a picture's bound
    ASSERT_NE(file, nullptr);
    streamPicture(*file);
    EXPECT_TRUE(transcript().ends_with("\nyyyyyyyyyyyyyyy?2J\n"))
        << transcript().substr(transcript().size() - 30);

    console.clearTranscript();
    console.setTextEncoding(TextEncoding::eightBit);
    printArtFile("art.txt");
    EXPECT_EQ(transcript(), "caf\xc3\xa9 \xc2?2J ?2J\n");
}

// A picture arrives in blocks; where a block ends changes nothing on screen,
// and a character of several bytes (an accented e) takes one column.
TEST(RowFitter, PictureLinesCutTheSameInPiecesOfAnySize) {
    const std::string picture =
        "abcdef\xc3\xa9gh\n\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\nxy\n";
    RowFitter whole(6, false);
    std::string expected;
    whole.passedThrough(picture, expected);
    EXPECT_EQ(expected, "abcdef\n\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\nxy\n");
    for (std::size_t piece = 1; piece < 5; ++piece) {
        RowFitter fitter(6, false);
        std::string out;
        for (std::size_t at = 0; at < picture.size(); at += piece)
            fitter.passedThrough(picture.substr(at, piece), out);
        EXPECT_EQ(out, expected) << "pieces of " << piece;
    }
}

TEST_F(ScreenFit, CursorIsHiddenOnlyWhileTheBarAnimates) {
    console.setConsoleWidth(80);
    console.typeAt(120, " ");
    EXPECT_EQ(runTimingBar(), Grade::Hit);
    const std::string& out = transcript();
    EXPECT_LT(out.find("<cursor hidden>"), out.find("<home>"));
    EXPECT_TRUE(out.ends_with("<colour default>Hit\n<cursor shown>")) << out;

    // The input ends during the bar: the cursor comes back all the same.
    restartProgram();
    console.setConsoleWidth(80);
    EXPECT_EQ(play("1\nHero\n\n\n\n\n1\n"), 0);
    EXPECT_TRUE(transcript().ends_with("]\n<cursor shown><colour default>")) << transcript();
    EXPECT_TRUE(console.cursorVisible());
}

}  // namespace
}  // namespace talvoren::testing
