// The timing bar: grades by the fill at the press, the frame pace, the
// colours of every cell, key mode, and what happens to the keys around it.
#include <cstdint>
#include <string>
#include <vector>

#include "combat/timing_bar.h"
#include "console/input.h"
#include "session.h"
#include "shell/shell.h"

namespace talvoren::testing {
namespace {

constexpr std::int64_t kFrameMs = 50;

// The moment, counted from the bar's start, at which frame `filled` is drawn.
constexpr std::int64_t frameTime(std::int64_t filled) {
    return (filled - 1) * kFrameMs;
}

class TimingBar : public GameSession {
protected:
    // Runs one bar with the space arriving `afterMs` after its start.
    std::string pressAfter(std::int64_t afterMs) {
        console.typeAt(clock.nowMs() + afterMs, " ");
        return std::string(gradeText(runTimingBar()));
    }
    // The frames of the transcript, each from its cursor home on.
    std::vector<std::string> frames() const {
        std::vector<std::string> result;
        const std::string& text = transcript();
        for (std::size_t at = text.find("<home>"); at != std::string::npos;) {
            const std::size_t next = text.find("<home>", at + 1);
            result.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
            at = next;
        }
        return result;
    }
};

std::string cells(std::size_t count, char c) {
    return std::string(count, c);
}

TEST_F(TimingBar, GradeFollowsTheFillSeenAtThePress) {
    struct Case {
        std::int64_t afterMs;
        const char* grade;
        std::int64_t frames;
    };
    const std::vector<Case> cases{
        {frameTime(1), "Hit", 1},        {frameTime(19), "Hit", 19},      {frameTime(19) + 1, "Critical", 20},
        {frameTime(20), "Critical", 20}, {frameTime(25), "Critical", 25}, {frameTime(25) + 1, "Miss", 26},
        {frameTime(26), "Miss", 26},     {frameTime(35), "Miss", 35},     {10'000, "Miss", 201},
    };
    int bars = 0;
    for (const Case& c : cases) {
        console.clearTranscript();
        const std::int64_t start = clock.nowMs();
        EXPECT_EQ(pressAfter(c.afterMs), c.grade) << c.afterMs;
        ++bars;
        EXPECT_EQ(count("<home>"), static_cast<std::size_t>(c.frames)) << c.afterMs;
        // The grade stands under the bar in the console's own colours, and
        // the wait after the last frame is still kept.
        EXPECT_TRUE(transcript().ends_with("]\n<colour default>" + std::string(c.grade) + "\n"))
            << transcript();
        EXPECT_EQ(clock.nowMs(), start + c.frames * kFrameMs) << c.afterMs;
        EXPECT_EQ(console.colour(), TextColour::Default);
        EXPECT_EQ(console.keyModeEntries(), bars);
        EXPECT_FALSE(console.inKeyMode());
    }
}

TEST_F(TimingBar, EveryCellClassHasItsColourAndCharacter) {
    EXPECT_EQ(pressAfter(frameTime(40)), "Miss");
    const std::vector<std::string> drawn = frames();
    ASSERT_EQ(drawn.size(), 40u);
    EXPECT_TRUE(transcript().starts_with("<clear><colour 15><home>"));
    const auto frame = [&drawn](std::size_t filled) { return drawn[filled - 1]; };

    EXPECT_EQ(frame(1), "<home>[<colour 2>:<colour 3>" + cells(19, '#') + "<colour 4>" + cells(6, '#') +
                            "<colour 15>" + cells(9, '#') + "]\n");
    EXPECT_EQ(frame(19), "<home>[<colour 2>" + cells(19, ':') + "<colour 3>#<colour 4>" + cells(6, '#') +
                             "<colour 15>" + cells(9, '#') + "]\n");
    EXPECT_EQ(frame(20), "<home>[<colour 2>" + cells(20, ':') + "<colour 4>" + cells(6, '#') + "<colour 15>" +
                             cells(9, '#') + "]\n");
    EXPECT_EQ(frame(25),
              "<home>[<colour 2>" + cells(25, ':') + "<colour 4>#<colour 15>" + cells(9, '#') + "]\n");
    EXPECT_EQ(frame(26), "<home>[<colour 2>" + cells(26, ':') + "<colour 15>" + cells(9, '#') + "]\n");
    EXPECT_EQ(frame(34), "<home>[<colour 2>" + cells(34, ':') + "<colour 15>#]\n");
    const std::string full = "<home>[<colour 2>" + cells(35, ':') + "<colour 15>]\n";
    EXPECT_EQ(frame(35), full);
    EXPECT_EQ(frame(36), full);
    EXPECT_EQ(frame(40), full + "<colour default>Miss\n");
}

TEST_F(TimingBar, FramesKeepTheirCadenceFromTheStartOnASlowConsole) {
    clock.sleepMs(1234);  // the bar need not start on a round time
    console.setDrawTime(7);
    console.noteTimes();
    // Drawing a frame takes 7 ms, so the press is seen 7 ms after the frame is drawn.
    console.typeAt(1234 + frameTime(20) + 7, " ");
    const Grade grade = runTimingBar();

    EXPECT_EQ(grade, Grade::Critical);
    const std::vector<std::int64_t>& homes = console.homeTimes();
    ASSERT_EQ(homes.size(), 20u);
    for (std::size_t frame = 0; frame < homes.size(); ++frame) {
        EXPECT_EQ(homes[frame], 1234 + static_cast<std::int64_t>(frame) * kFrameMs) << frame;
    }
}

TEST_F(TimingBar, AStallDoesNotRaceThroughTheMissedFrames) {
    console.setDrawTime(0, console.flushCount() + 4, 1500);  // after the fifth frame
    console.noteTimes();
    console.typeAt(frameTime(5) + 1500 + frameTime(8), " ");
    const Grade grade = runTimingBar();
    const std::vector<std::int64_t>& homes = console.homeTimes();

    // Frames 6 onwards follow at 50 ms from the end of the stall, so the
    // press lands on the thirteenth frame instead of an overrun bar.
    EXPECT_EQ(grade, Grade::Hit);
    ASSERT_EQ(homes.size(), 13u);
    EXPECT_EQ(homes[5], frameTime(5) + 1500);  // drawn as soon as the stall ends
    for (std::size_t frame = 6; frame < homes.size(); ++frame) {
        EXPECT_EQ(homes[frame] - homes[frame - 1], kFrameMs) << frame;
    }
}

TEST_F(TimingBar, WaitingSpaceStopsTheFirstFrameAndLeavesTheRest) {
    console.type("xy 42\n");
    EXPECT_EQ(runTimingBar(), Grade::Hit);
    EXPECT_EQ(count("<home>"), 1u);
    EXPECT_EQ(game().input.readMenuNumber(), 42);
}

TEST_F(TimingBar, KeysMashedAfterThePressAreDroppedOnlyForAPerson) {
    for (const bool interactive : {false, true}) {
        clock = SimulatedClock();
        console = SimulatedTerminal(clock);
        test_support::startFreshGame(console, clock, files);
        console.setInteractive(interactive);
        console.typeAt(frameTime(3), "  7\n");  // the press, and keys hit with it
        console.typeAt(5000, "8\n");            // the next answer, typed later
        EXPECT_EQ(runTimingBar(), Grade::Hit);
        EXPECT_EQ(game().input.readMenuNumber(), interactive ? 8 : 7) << interactive;
    }
}

TEST_F(TimingBar, EndOfInputDuringTheBarEndsTheGameCleanly) {
    // New game, name, the backstory, Cyrus, the road's notice, the battle's
    // intro, then Attack: the bar finds the input over.
    EXPECT_EQ(play("1\nHero\n\n\n\n\n1\n"), 0);
    EXPECT_EQ(count("<home>"), 1u);
    EXPECT_TRUE(transcript().ends_with("]\n<colour default>")) << transcript();
    EXPECT_EQ(console.keyModeEntries(), 1);
    EXPECT_FALSE(console.inKeyMode());
    EXPECT_EQ(console.colour(), TextColour::Default);
}

}  // namespace
}  // namespace talvoren::testing
