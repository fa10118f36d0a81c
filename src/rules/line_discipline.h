// Line editing for a console that has none of its own: a browser terminal
// hands the game raw key strings, so the game itself echoes what is typed,
// erases with Backspace and gives a line to the menus only on Enter. While
// the timing bar runs, keys pass raw and unechoed, as on a terminal in key mode.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvoren {

class LineDiscipline {
public:
    // Takes keys as the terminal sends them (Enter as CR, Backspace as DEL or
    // BS, cursor keys as escape sequences). Returns the text to echo, empty in
    // key mode. Cursor and function keys are dropped while a line is edited.
    std::string feed(std::string_view keys);
    // Moves up to `capacity` bytes ready for the game into `buffer` and
    // returns their count: whole lines (ending in LF) in line mode, every key
    // in key mode.
    std::size_t take(char* buffer, std::size_t capacity);

    // Key mode hands over the line being edited as it stands, like a terminal
    // leaving canonical mode.
    void enterKeyMode();
    // Back to line editing; every key not yet taken by the game is dropped.
    void leaveKeyMode();
    bool inKeyMode() const { return keyMode_; }

    // Longest line kept while editing; keys past it are dropped unechoed.
    static constexpr std::size_t kLineLimit = 4095;
    // Most bytes kept waiting for the game; a huge paste is cut there.
    static constexpr std::size_t kReadyLimit = std::size_t{64} * 1024;

private:
    enum class Escape { None, Started, ControlSequence, SingleShift };

    void editLine(unsigned char key, std::string& echo);
    void eraseLastCharacter(std::string& echo);
    bool skipEscape(unsigned char key);
    void makeReady(std::string_view bytes);

    std::string line_;
    std::string ready_;
    std::size_t position_ = 0;
    bool keyMode_ = false;
    Escape escape_ = Escape::None;
};

}  // namespace talvoren
