// The browser's line editing: what the player sees echoed, and what the
// menus and the timing bar then read.
#include "rules/line_discipline.h"

#include <gtest/gtest.h>

#include <string>

namespace talvoren::testing {
namespace {

std::string takeAll(LineDiscipline& keys) {
    std::string taken;
    char chunk[3];
    for (std::size_t got; (got = keys.take(chunk, sizeof chunk)) > 0;) taken.append(chunk, got);
    return taken;
}

TEST(LineDiscipline, AMenuSeesALineOnlyAfterEnterWithTheSlipsMended) {
    LineDiscipline keys;
    EXPECT_EQ(keys.feed("Anx"), "Anx");
    EXPECT_EQ(takeAll(keys), "") << "nothing before Enter";
    EXPECT_EQ(keys.feed("\x7f"
                        "a"),
              "\b \ba");
    EXPECT_EQ(keys.feed("\r"), "\n");
    EXPECT_EQ(takeAll(keys), "Ana\n");

    // Cursor keys, Home and F1 leave no trace; Ctrl-C and Ctrl-D mean nothing.
    EXPECT_EQ(keys.feed("9\x1b[D\x1b[1;5H\x1bOP\x03\x04"
                        "8\r"),
              "98\n");
    // Escape alone, then a digit: the digit counts.
    EXPECT_EQ(keys.feed("\x1b"
                        "1\r"),
              "1\n");
    EXPECT_EQ(takeAll(keys), "98\n1\n");

    // A pasted answer of several lines gives them all, in order.
    keys.feed("3\r\r99\r");
    EXPECT_EQ(takeAll(keys), "3\n\n99\n");
}

TEST(LineDiscipline, BackspaceErasesWholeCharactersAndStopsAtTheLineStart) {
    LineDiscipline keys;
    EXPECT_EQ(keys.feed("Zo\xc3\xab\x7f\x7f\x7f\x7f"
                        "B\bx"),
              "Zo\xc3\xab\b \b\b \b\b \bB\b \bx");
    EXPECT_EQ(keys.feed("yz\x15"
                        "Zo\xc3\xab\r"),
              "yz\b \b\b \b\b \bZo\xc3\xab\n");
    EXPECT_EQ(takeAll(keys), "Zo\xc3\xab\n");
}

TEST(LineDiscipline, KeyModePassesKeysAtOnceAndLeavingItDropsTheRest) {
    LineDiscipline keys;
    keys.feed("12");
    keys.enterKeyMode();  // the half-typed line is handed over as it stands
    EXPECT_EQ(keys.feed("a \x1b[A\r"), "") << "no echo while the bar runs";
    EXPECT_EQ(takeAll(keys), "12a \x1b[A\n");
    keys.feed("   ");
    char one;
    EXPECT_EQ(keys.take(&one, 1), 1u);
    keys.leaveKeyMode();  // mashed spaces must not answer the next menu
    EXPECT_EQ(takeAll(keys), "");
    EXPECT_EQ(keys.feed("2\r"), "2\n");
    EXPECT_EQ(takeAll(keys), "2\n");
}

TEST(LineDiscipline, AHugePasteIsCutInsteadOfGrowingWithoutBound) {
    LineDiscipline keys;
    const std::string longLine(LineDiscipline::kLineLimit + 100, '7');
    EXPECT_EQ(keys.feed(longLine).size(), LineDiscipline::kLineLimit);
    keys.feed("\r");
    EXPECT_EQ(takeAll(keys), std::string(LineDiscipline::kLineLimit, '7') + "\n");

    std::string lines;
    for (int i = 0; i < 40000; ++i) lines += "1\r";
    keys.feed(lines);
    EXPECT_EQ(takeAll(keys).size(), LineDiscipline::kReadyLimit);
}

}  // namespace
}  // namespace talvoren::testing
