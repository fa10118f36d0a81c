// The console the game plays on: text out, colours, the cursor, the width,
// the window's title and size, and typed input with its key mode.
//
// One back end is linked into the game: the POSIX terminal, the Windows
// console or the browser's terminal; the tests bring a simulated one.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/text_encoding.h"

namespace talvoren {

// Text colours of the console, as foreground attributes on black, and the
// console's own colours: a terminal's default foreground and background
// (which the player's theme chooses), the Windows console's bright white.
enum class TextColour : int { Green = 2, Cyan = 3, Red = 4, BrightWhite = 15, Default = 16 };

// What a non-blocking look at the keyboard found.
enum class DirectKey { NotSupported, Up, Down };

class Terminal {
public:
    virtual ~Terminal() = default;

    // Appends game text to standard output; it reaches the screen by flush().
    virtual void write(std::string_view text) = 0;
    // Sends everything written so far to the screen in as few writes as possible.
    virtual void flush() = 0;

    // Blanks the console's screen and homes the cursor: the Windows console's
    // whole buffer, a terminal's alternate screen (the shell's scrollback
    // stays). Does nothing when output is not a console. Never fails loudly.
    virtual void clearScreen() = 0;
    // Sets the colour of text written from now on. Ignored without a console.
    virtual void setTextColour(TextColour colour) = 0;
    // Moves the cursor to the top-left cell. Ignored without a console.
    virtual void homeCursor() = 0;
    // Columns of the console that output goes to, read afresh on every call;
    // nullopt when output is not a console (or it cannot tell its width), in
    // which case the game writes every byte as it always has.
    virtual std::optional<int> width() { return std::nullopt; }
    // True when output goes to a terminal or console, whether or not it can
    // tell its width (a pseudo-terminal of 0 columns, a serial line); false
    // for a pipe or a file.
    virtual bool outputIsConsole() { return width().has_value(); }
    // True when writing a row's last column already moves the cursor to the
    // next row (the Windows console); false where the move waits for the next
    // character and a line end after a full row adds no blank row (xterm).
    virtual bool wrapsAtLastColumn() { return false; }
    // Shows or hides the cursor. Ignored without a console; a hidden cursor
    // is shown again however the game ends or is stopped.
    virtual void setCursorVisible(bool visible) { static_cast<void>(visible); }
    // How the console shows bytes from 0x80 on: a POSIX terminal as its
    // locale says, the Windows console by its code page; UTF-8 where the
    // back end says nothing else (the browser's terminal).
    virtual TextEncoding textEncoding() { return TextEncoding::utf8; }
    // Sets the window title, where the console has one.
    virtual void setTitle(std::string_view title) = 0;
    // Asks for a window of the given pixel size, keeping its top-left corner.
    virtual void requestWindowSize(int widthPixels, int heightPixels) = 0;

    // Reads up to `capacity` bytes of standard input into `buffer`.
    // With `wait`, blocks until at least one byte or the end of input arrives;
    // without it, returns only what is already typed or piped (possibly 0).
    // Returns the count read, or -1 at the end of input.
    virtual std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) = 0;
    // True when standard input is a person at a keyboard rather than a script.
    virtual bool inputIsInteractive() = 0;
    // Key mode: keys reach the game at once, without Enter and without echo.
    virtual void enterKeyMode() = 0;
    // Leaves key mode, dropping keys typed but not yet read when interactive.
    virtual void leaveKeyMode() = 0;
    // A console that can see the space bar directly reports it here; the
    // others return NotSupported and the game reads the space from input.
    virtual DirectKey pollSpaceBarDirectly() { return DirectKey::NotSupported; }
};

// The console of the machine the game was built for.
Terminal& nativeTerminal();

}  // namespace talvoren
