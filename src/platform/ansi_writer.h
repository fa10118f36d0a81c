// What a terminal that speaks ANSI/xterm escapes receives: game text and the
// control sequences for clearing, colours, the cursor, the title and the
// window size, gathered in one buffer and handed on in as few pieces as
// possible. The POSIX and browser back ends both write through it; each
// keeps its own way of getting the bytes to the screen.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/terminal.h"

namespace talvoren {

// The fixed sequences, for code that must write without a writer's buffer
// (a signal handler drawing the screen again).
namespace ansi {
inline constexpr char kClear[] = "\x1b[H\x1b[2J";
inline constexpr char kShowCursor[] = "\x1b[?25h";
inline constexpr char kHideCursor[] = "\x1b[?25l";
}  // namespace ansi

// One flush's worth of output.
struct AnsiOutput {
    std::string_view bytes;  // everything written since the previous flush
    // Set when the screen was cleared among `bytes`: then the screen shows
    // `colourAtClear` (the colour sequence in force at the last clear, empty
    // before any colour was set) followed by `afterClear`, the bytes after it.
    bool cleared = false;
    std::string_view colourAtClear;
    std::string_view afterClear;
};

class AnsiWriter {
public:
    // Bytes reach `sink` only on flush(), or once `flushThreshold` bytes of
    // game text are waiting. The sink is never handed an empty output.
    explicit AnsiWriter(std::function<void(const AnsiOutput&)> sink,
                        std::size_t flushThreshold = std::size_t{64} * 1024);

    // Appends game text; flushes when the buffer reaches the threshold.
    void write(std::string_view text);
    // Hands everything pending to the sink, then forgets it.
    void flush();

    // Homes the cursor and blanks the screen (the scrollback stays).
    void clearScreen();
    // Sets the colour of what follows, as that colour on black, or the
    // terminal's own default colours.
    void setTextColour(TextColour colour);
    void homeCursor();
    // Shows or hides the cursor and flushes, so the change is seen at once.
    void setCursorVisible(bool visible);
    // Sets the window's title; control characters in it are the caller's to avoid.
    void setTitle(std::string_view title);
    // Asks the terminal for a window of the given size in pixels.
    void requestWindowSize(int widthPixels, int heightPixels);

private:
    std::function<void(const AnsiOutput&)> sink_;
    std::size_t flushThreshold_;
    std::string pending_;
    std::size_t afterClear_ = std::string::npos;  // where in pending_ the last clear ends
    std::string_view colour_;                     // the colour in force, as its sequence
    std::string_view colourAtClear_;
};

}  // namespace talvoren
