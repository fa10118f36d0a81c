#include "combat/timing_bar.h"

#include <optional>
#include <string>

#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/arithmetic.h"

namespace talvoren {

TextColour cellColour(std::int32_t index, std::int32_t filled) {
    if (index < filled) return TextColour::Green;
    // Zones are drawn by the cell's index, counted from 0, while grades count
    // the cells filled, so each coloured zone starts one cell after the first
    // fill that earns its grade.
    if (index < kCriticalFromFill) return TextColour::Cyan;
    if (index < kMissFromFill) return TextColour::Red;
    return TextColour::BrightWhite;
}

char cellCharacter(std::int32_t index, std::int32_t filled) {
    return index < filled ? ':' : '#';
}

namespace {

// One frame: the cursor homed, then the whole line, changing colour only
// where it changes, sent to the screen in one piece.
void drawFrame(std::int32_t filled) {
    homeCursor();
    writeText("[");
    TextColour current = TextColour::BrightWhite;
    std::string run;
    for (std::int32_t index = 0; index < kBarCells; ++index) {
        const TextColour colour = cellColour(index, filled);
        if (colour != current) {
            writeText(run);
            run.clear();
            setTextColour(colour);
            current = colour;
        }
        run.push_back(cellCharacter(index, filled));
    }
    writeText(run);
    if (current != TextColour::BrightWhite) setTextColour(TextColour::BrightWhite);
    writeText("]\n");
    flushScreen();
}

// Keeps key mode for exactly the bar's lifetime, whatever way it is left.
class KeyPollingScope {
public:
    KeyPollingScope() { game().input.beginKeyPolling(); }
    ~KeyPollingScope() { game().input.endKeyPolling(); }
    KeyPollingScope(const KeyPollingScope&) = delete;
    KeyPollingScope& operator=(const KeyPollingScope&) = delete;
};

// The cursor would flicker at the end of every frame: it stays hidden while
// the bar animates and comes back however the bar is left.
class HiddenCursorScope {
public:
    HiddenCursorScope() { game().terminal.setCursorVisible(false); }
    ~HiddenCursorScope() {
        flushScreen();
        game().terminal.setCursorVisible(true);
    }
    HiddenCursorScope(const HiddenCursorScope&) = delete;
    HiddenCursorScope& operator=(const HiddenCursorScope&) = delete;
};

}  // namespace

std::int64_t nextFrameStart(std::int64_t start, std::int64_t framesDrawn, std::int64_t now) {
    const std::int64_t due = start + framesDrawn * kBarFrameMs;
    // After a stall (the game stopped by Ctrl-Z, a frozen machine) the missed
    // frames are not raced through: the cadence starts again from now.
    if (now - due > kBarFrameMs) return now - framesDrawn * kBarFrameMs;
    return start;
}

namespace {

// The bar draws in bright white on black; once it is left, however, the
// console's own colours come back, so that a light terminal theme is not
// turned into a black slab for the rest of the game.
class BarColoursScope {
public:
    BarColoursScope() { setTextColour(TextColour::BrightWhite); }
    ~BarColoursScope() { restore(); }
    BarColoursScope(const BarColoursScope&) = delete;
    BarColoursScope& operator=(const BarColoursScope&) = delete;

    void restore() {
        if (restored_) return;
        restored_ = true;
        setTextColour(TextColour::Default);
    }

private:
    bool restored_ = false;
};

}  // namespace

Grade runTimingBar() {
    Clock& clock = game().clock;
    clearScreen();
    std::optional<Grade> grade;
    {
        BarColoursScope colours;
        const HiddenCursorScope hiddenCursor;
        const KeyPollingScope keyMode;
        std::int64_t start = clock.steadyMs();
        std::int32_t filled = 0;
        for (std::int64_t frame = 1; !grade; ++frame) {
            filled = saturatingAdd(filled, 1);
            drawFrame(filled);
            if (game().input.pollSpaceBar() == SpacePoll::Pressed) {
                grade = gradeForFill(filled);
                colours.restore();
                printLine(gradeText(*grade));
            }
            start = nextFrameStart(start, frame, clock.steadyMs());
            clock.sleepMs(start + frame * kBarFrameMs - clock.steadyMs());
        }
    }
    return *grade;
}

}  // namespace talvoren
