// The bytes a POSIX or browser terminal receives from the game, and when.
#include "platform/ansi_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvoren::testing {
namespace {

// Each flush's bytes, and what a screen drawn again from it would show:
// the colour at the last clear and what followed ("-" without a clear).
struct Sent {
    std::vector<std::string> bytes;
    std::vector<std::string> redraws;
    AnsiWriter writer(std::size_t threshold = 64 * 1024) {
        return AnsiWriter(
            [this](const AnsiOutput& out) {
                bytes.emplace_back(out.bytes);
                redraws.push_back(out.cleared ? std::string(out.colourAtClear) + std::string(out.afterClear)
                                              : "-");
            },
            threshold);
    }
};

TEST(AnsiWriter, ABarFrameTheTitleAndTheCursorAsTheTerminalReceivesThem) {
    Sent sent;
    AnsiWriter out = sent.writer();
    out.setTitle("Talvoren 0.1.0");
    out.requestWindowSize(1000, 500);
    out.homeCursor();
    out.write("[");
    out.setTextColour(TextColour::Green);
    out.write("::");
    out.setTextColour(TextColour::Cyan);
    out.write("#");
    out.setTextColour(TextColour::BrightWhite);
    out.write("#]\r\n");
    EXPECT_TRUE(sent.bytes.empty()) << "nothing before a flush";
    out.setCursorVisible(false);  // seen at once
    out.flush();                  // nothing new: the terminal is not bothered
    out.setCursorVisible(true);
    EXPECT_EQ(sent.bytes,
              (std::vector<std::string>{"\x1b]0;Talvoren 0.1.0\x07\x1b[4;500;1000t\x1b[H[\x1b[0;32;40m::"
                                        "\x1b[0;36;40m#\x1b[0;97;40m#]\r\n\x1b[?25l",
                                        "\x1b[?25h"}));
}

TEST(AnsiWriter, TextGoesOutOnceTheThresholdIsReached) {
    Sent sent;
    AnsiWriter out = sent.writer(8);
    out.write("1234567");
    out.setTextColour(TextColour::Red);  // past the threshold, but only text sends
    EXPECT_TRUE(sent.bytes.empty());
    out.write("!");
    out.write("abcdefgh");  // exactly the threshold
    EXPECT_EQ(sent.bytes, (std::vector<std::string>{"1234567\x1b[0;31;40m!", "abcdefgh"}));
}

// After Ctrl-Z and fg the screen is drawn again from the last clear on.
TEST(AnsiWriter, EachFlushTellsWhatTheScreenShowsSinceTheLastClear) {
    Sent sent;
    AnsiWriter out = sent.writer();
    out.clearScreen();
    out.write("Welcome\r\n");
    out.flush();
    out.setTextColour(TextColour::Green);
    out.write("old");
    out.clearScreen();
    out.write("new");
    out.setTextColour(TextColour::Cyan);
    out.clearScreen();
    out.write("newest");
    out.flush();
    out.write("tail");
    out.flush();
    out.clearScreen();  // the colour set before an earlier flush is still in force
    out.flush();
    EXPECT_EQ(sent.bytes[1], "\x1b[0;32;40mold\x1b[H\x1b[2Jnew\x1b[0;36;40m\x1b[H\x1b[2Jnewest");
    EXPECT_EQ(sent.redraws,
              (std::vector<std::string>{"Welcome\r\n", "\x1b[0;36;40mnewest", "-", "\x1b[0;36;40m"}));
}

}  // namespace
}  // namespace talvoren::testing
