// The game's one source of typed input: menus, the name prompt, pauses and
// the timing bar's key poll all read the same bytes, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/terminal.h"

namespace talvoren {

// The most of one word that is kept: a name this long still fits a save line.
inline constexpr std::size_t kLongestWord = 1 << 20;

// Thrown when standard input has ended; the game then stops at once, cleanly.
struct EndOfInput {};

enum class SpacePoll { NotPressed, Pressed };

class ScreenWriter;

class InputSource {
public:
    // Reads from `terminal`; before waiting for a key, flushes `screen`.
    InputSource(Terminal& terminal, ScreenWriter& screen);

    // Reads one integer the way a menu does: leading white space (line ends
    // included) is skipped, then an optional sign and decimal digits. An answer
    // that is not a number, or does not fit 32 bits, has the rest of its line
    // dropped and gives nullopt. Throws EndOfInput at the end of input.
    std::optional<std::int32_t> readMenuNumber();
    // Reads one word: white space is skipped, the word ends at the next white
    // space or the end of input. Only its first kLongestWord bytes are kept;
    // the rest is read and dropped. Throws EndOfInput when no word comes.
    std::string readWord();
    // Drops the rest of a partly read line, only as far as it is already typed
    // or piped; never waits and never drops a later line.
    void dropRestOfStartedLine();
    // Waits for one character and consumes it. Throws EndOfInput.
    void readOneCharacter();

    // The timing bar's key poll. Never waits. Bytes up to and including the
    // first space are consumed; bytes after it stay for later reads.
    // Throws EndOfInput when input has ended and nothing is left.
    SpacePoll pollSpaceBar();
    // Key mode for the timing bar; leaving it drops keys mashed after the
    // press when a person is typing.
    void beginKeyPolling();
    void endKeyPolling();

private:
    int peekByte(bool wait);  // -1: nothing (end of input when waiting)
    // Skips white space (line ends included); the first other byte, not
    // consumed. Throws EndOfInput when none comes.
    int skipBlanks();
    void consumeByte();
    bool fill(bool wait);

    Terminal& terminal_;
    ScreenWriter& screen_;
    std::string buffer_;
    std::size_t position_ = 0;
    bool ended_ = false;
    bool atLineStart_ = true;
};

}  // namespace talvoren
