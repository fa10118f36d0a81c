// The bytes a POSIX or browser terminal receives from the game, and when.
#include "platform/ansi_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvoren::testing {
namespace {

// What the sink was handed, one entry per flush.
struct Flushed {
    std::string bytes;
    bool cleared;
    std::string colourAtClear;
    std::string afterClear;
};

class AnsiWriterTest : public ::testing::Test {
protected:
    AnsiWriter makeWriter(std::size_t threshold = 64 * 1024) {
        return AnsiWriter(
            [this](const AnsiOutput& output) {
                flushes.push_back({std::string(output.bytes), output.cleared,
                                   std::string(output.colourAtClear), std::string(output.afterClear)});
            },
            threshold);
    }

    std::vector<Flushed> flushes;
};

TEST_F(AnsiWriterTest, ABarFrameArrivesWholeOnFlushAndNotBefore) {
    AnsiWriter out = makeWriter();
    out.homeCursor();
    out.write("[");
    out.setTextColour(TextColour::Green);
    out.write("::");
    out.setTextColour(TextColour::Cyan);
    out.write("#");
    out.setTextColour(TextColour::Red);
    out.write("#");
    out.setTextColour(TextColour::BrightWhite);
    out.write("#]\r\n");
    EXPECT_TRUE(flushes.empty());

    out.flush();
    ASSERT_EQ(flushes.size(), 1u);
    EXPECT_EQ(flushes[0].bytes, "\x1b[H[\x1b[0;32;40m::\x1b[0;36;40m#\x1b[0;31;40m#\x1b[0;97;40m#]\r\n");
    EXPECT_FALSE(flushes[0].cleared);

    out.flush();  // nothing new: the terminal is not bothered
    EXPECT_EQ(flushes.size(), 1u);
}

TEST_F(AnsiWriterTest, TitleWindowSizeAndCursor) {
    AnsiWriter out = makeWriter();
    out.setTitle("Talvoren 0.1.0");
    out.requestWindowSize(800, 600);
    EXPECT_TRUE(flushes.empty());
    // Hiding the cursor is seen at once, with what came before it.
    out.setCursorVisible(false);
    ASSERT_EQ(flushes.size(), 1u);
    EXPECT_EQ(flushes[0].bytes, "\x1b]0;Talvoren 0.1.0\x07\x1b[4;600;800t\x1b[?25l");
    out.write("> ");
    out.setCursorVisible(true);
    ASSERT_EQ(flushes.size(), 2u);
    EXPECT_EQ(flushes[1].bytes, "> \x1b[?25h");
}

TEST_F(AnsiWriterTest, LongTextGoesOutAtTheThresholdButSequencesWait) {
    AnsiWriter out = makeWriter(8);
    out.write("1234567");
    out.setTextColour(TextColour::Red);  // past the threshold, but only text flushes
    EXPECT_TRUE(flushes.empty());
    out.write("");
    ASSERT_EQ(flushes.size(), 1u);
    EXPECT_EQ(flushes[0].bytes, "1234567\x1b[0;31;40m");

    out.write("abcdefgh");  // exactly the threshold
    ASSERT_EQ(flushes.size(), 2u);
    EXPECT_EQ(flushes[1].bytes, "abcdefgh");
}

// A screen drawn again after the game was stopped needs what the terminal
// shows since the last clear: the colour then in force and what followed.
TEST_F(AnsiWriterTest, AFlushTellsWhatFollowsTheLastClear) {
    AnsiWriter out = makeWriter();
    out.clearScreen();
    out.write("Welcome\r\n");
    out.flush();
    ASSERT_EQ(flushes.size(), 1u);
    EXPECT_EQ(flushes[0].bytes, "\x1b[H\x1b[2JWelcome\r\n");
    EXPECT_TRUE(flushes[0].cleared);
    EXPECT_EQ(flushes[0].colourAtClear, "") << "no colour set yet";
    EXPECT_EQ(flushes[0].afterClear, "Welcome\r\n");

    out.setTextColour(TextColour::Green);
    out.write("old");
    out.clearScreen();
    out.write("new");
    out.setTextColour(TextColour::Cyan);
    out.clearScreen();
    out.write("newest");
    out.flush();
    ASSERT_EQ(flushes.size(), 2u);
    EXPECT_EQ(flushes[1].bytes, "\x1b[0;32;40mold\x1b[H\x1b[2Jnew\x1b[0;36;40m\x1b[H\x1b[2Jnewest");
    EXPECT_TRUE(flushes[1].cleared);
    EXPECT_EQ(flushes[1].colourAtClear, "\x1b[0;36;40m");
    EXPECT_EQ(flushes[1].afterClear, "newest");

    // The colour set before an earlier flush is still the one in force.
    out.write("more");
    out.clearScreen();
    out.flush();
    ASSERT_EQ(flushes.size(), 3u);
    EXPECT_TRUE(flushes[2].cleared);
    EXPECT_EQ(flushes[2].colourAtClear, "\x1b[0;36;40m");
    EXPECT_EQ(flushes[2].afterClear, "");

    out.write("tail");
    out.flush();
    ASSERT_EQ(flushes.size(), 4u);
    EXPECT_FALSE(flushes[3].cleared) << "a flush without a clear adds to the screen";
    EXPECT_EQ(flushes[3].bytes, "tail");
}

}  // namespace
}  // namespace talvoren::testing
