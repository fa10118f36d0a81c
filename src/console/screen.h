// Game text on its way to the console. On a console it is fitted to the
// width read at every clear (word wrap, frame lines alone on their row);
// anywhere else (a pipe, a file) it passes byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/terminal.h"
#include "rules/row_fitter.h"

namespace talvoren {

class ScreenWriter {
public:
    // The terminal's width is read when the first text is written.
    explicit ScreenWriter(Terminal& out);

    // Writes game text, fitted to the console's rows.
    void write(std::string_view text);
    // Writes a picture's text: on a console each line cut at the row's edge
    // (see RowFitter::passedThrough), anywhere else byte for byte.
    void writeAsIs(std::string_view text);
    // True when output goes to a terminal, sized or not, so that a control
    // byte written would drive it.
    bool onTerminal();
    // Writes the frame line `rule` ("+", dashes, "+"): as it is, with no line
    // end, without a console; on a console cut to its width when narrower,
    // alone on its row.
    void rule(std::string_view rule);
    // Sends everything written so far to the console.
    void flush();
    // Clears the console and reads its width afresh for the new screen.
    void clear();
    void home();
    void colour(TextColour colour);
    // A person typed a line and the console echoed its line end: the cursor
    // is back at the start of a row.
    void lineEndEchoed();

private:
    // The fitter for this screen, or nullptr when text passes as it is.
    RowFitter* fitter();
    void readWidth();
    // Lets `fit` append the fitted bytes to the reused buffer and sends them.
    template <typename Fit>
    void sendFitted(Fit fit);
    // Sends what the fitter holds back, before anything that must follow it.
    void release();

    Terminal& out_;
    bool widthRead_ = false;
    std::optional<RowFitter> fitter_;  // none when text passes as it is
    std::string fitted_;               // reused buffer for the fitted bytes
    bool terminal_ = false;            // a terminal, sized or not
};

}  // namespace talvoren
