// The one door between the game and the machine it runs on.
//
// Everything the game needs from a console, a clock or the file system goes
// through this interface. A back end is swapped whole: the POSIX terminal,
// the Windows console, or the simulated console that the tests drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace talvoren {

// Text colours of the console, as foreground attributes on black.
enum class TextColour : int { Green = 2, Cyan = 3, Red = 4, BrightWhite = 15 };

// What a non-blocking look at the keyboard found.
enum class DirectKey { NotSupported, Up, Down };

// How a save went: `saved`, or the system's own reason why not, such as
// "No space left on device" (never empty when not saved).
struct SaveOutcome {
    bool saved = false;
    std::string reason;
};

// A file open for reading; closed when destroyed.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    // Reads up to `capacity` bytes: returns the count, 0 at the end of the
    // file, or -1 when the read failed (the file may then have been cut short).
    virtual std::ptrdiff_t read(char* buffer, std::size_t capacity) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

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
    virtual std::optional<int> consoleWidth() { return std::nullopt; }
    // True when writing a row's last column already moves the cursor to the
    // next row (the Windows console); false where the move waits for the next
    // character and a line end after a full row adds no blank row (xterm).
    virtual bool consoleWrapsAtLastColumn() { return false; }
    // Shows or hides the cursor. Ignored without a console; a hidden cursor
    // is shown again however the game ends or is stopped.
    virtual void setCursorVisible(bool visible) { static_cast<void>(visible); }
    // Sets the window title, where the console has one.
    virtual void setTitle(std::string_view title) = 0;
    // Asks for a window of the given pixel size, keeping its top-left corner.
    virtual void requestWindowSize(int widthPixels, int heightPixels) = 0;

    // Waits the given number of milliseconds (negative counts as zero).
    virtual void sleepMs(std::int64_t milliseconds) = 0;
    // Calendar time in whole seconds since the epoch.
    virtual std::int64_t calendarSeconds() = 0;
    // A steady clock in milliseconds for pacing animations.
    virtual std::int64_t steadyMs() = 0;

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

    // Line end of text files on this system.
    virtual std::string_view textLineEnd() const { return "\n"; }
    // Replaces the file at `path` by `contents` so that a crash leaves either
    // the old file or the new one; a symbolic link is followed and stays a
    // link. Where the folder refuses a new file but the file itself may be
    // written, the file is rewritten in place instead. A read-only file is
    // left as it is. On failure the old file is unchanged and no temporary
    // file is left; the outcome says why.
    virtual SaveOutcome replaceFileAtomically(const std::string& path, std::string_view contents) = 0;
    // Opens the regular file at `path` for reading; null when it is missing,
    // unreadable, a folder or anything else that is no plain file. The
    // default uses the C library; back ends may refine it.
    virtual std::unique_ptr<ReadableFile> openForReading(const std::string& path);
    // Folder of the installed picture files; empty when the game is not installed.
    virtual std::string installedDataFolder() { return {}; }
};

// The platform the game talks to. Set once at start (or by a test).
Platform& platform();
void setPlatform(Platform& backEnd);
// Grows with every setPlatform, so that what is kept about one back end is
// not taken for the next one's (tests set a fresh one each).
unsigned platformChanges();

// Creates the back end for the machine the game was built for.
Platform& nativePlatform();

}  // namespace talvoren
