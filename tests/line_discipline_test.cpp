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

// Keys typed at a prompt, what the player sees echoed, and the line a menu
// then reads.
TEST(LineDiscipline, EditingKeysEchoAndTheLineAMenuReads) {
    struct Case {
        const char* what;
        std::string keys;
        std::string echo;
        std::string taken;
    };
    const Case cases[] = {
        {"nothing before Enter", "Anx", "Anx", ""},
        {"a slip mended with Delete",
         "Anx\x7f"
         "a\r",
         "Anx\b \ba\n", "Ana\n"},
        {"cursor keys, Home and F1 leave no trace; Ctrl-C and Ctrl-D mean nothing",
         "9\x1b[D\x1b[1;5H\x1bOP\x03\x04"
         "8\r",
         "98\n", "98\n"},
        {"Escape alone, then a digit: the digit counts",
         "\x1b"
         "1\r",
         "1\n", "1\n"},
        {"a pasted answer of several lines gives them all", "3\r\r99\r", "3\n\n99\n", "3\n\n99\n"},
        {"Backspace erases a whole accented letter and stops at the line start",
         "Zo\xc3\xab\x7f\x7f\x7f\x7f"
         "B\bx\r",
         "Zo\xc3\xab\b \b\b \b\b \bB\b \bx\n", "x\n"},
        {"a letter of three bytes goes with one Backspace", "a\xe2\x82\xac\x7f\r", "a\xe2\x82\xac\b \b\n",
         "a\n"},
        {"Ctrl-U erases the whole line",
         "xyz\x15"
         "Zo\xc3\xab\r",
         "xyz\b \b\b \b\b \bZo\xc3\xab\n", "Zo\xc3\xab\n"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        LineDiscipline keys;
        EXPECT_EQ(keys.feed(each.keys), each.echo);
        EXPECT_EQ(takeAll(keys), each.taken);
    }
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
