// Fits game text to the rows of a console of a given width: long lines wrap
// at the last blank before the edge, a word wider than a row is cut at the
// edge, and a frame line always stands alone on its row.
#pragma once

#include <string>
#include <string_view>

namespace talvoren {

class RowFitter {
public:
    // `width` columns (at least 1 is used); `wrapsAtLastColumn` as the
    // console reports it (see Terminal::wrapsAtLastColumn).
    RowFitter(int width, bool wrapsAtLastColumn);

    // Appends to `out` the bytes that show `text` fitted to the rows. The
    // last word may be held back until it is known to fit: see release().
    void put(std::string_view text, std::string& out);
    // Appends the frame line: "+", dashes, "+", as wide as the console up to
    // `fullWidth` columns, alone on its row; the next text starts on the next
    // row, and a line end right behind it adds no blank row.
    void rule(int fullWidth, std::string& out);
    // Appends what is held back, so that it can be flushed before a read.
    void release(std::string& out);
    // Appends a picture's text after what is held back: every line cut at the
    // row's edge (the rest of the line dropped, never wrapped), a character of
    // several UTF-8 bytes kept or dropped whole. `text` holds no control byte
    // but the line end LF; a picture may come in pieces of any size.
    void passedThrough(std::string_view text, std::string& out);
    // The cursor went to the start of a row by other means: a cleared or
    // homed screen, or the line end a person typed and the console echoed.
    // Whatever is held back must have been released before.
    void cursorAtRowStart();

private:
    void putWordCharacter(char c, std::string& out);
    void putBlank(std::string& out);
    void endRow(std::string& out);
    void emitHeld(std::string& out);

    int width_;
    bool wrapsAtLastColumn_;
    int column_ = 0;              // columns used on the cursor's row; width_ when full
    std::string held_;            // the word being written, not yet sent
    bool absorbLineEnd_ = false;  // a frame line just ended its row
    bool dropBlanks_ = false;     // at the start of a wrapped row
    bool keptCharacter_ = true;   // the picture's last character was on the row
};

}  // namespace talvoren
