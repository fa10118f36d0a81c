// The console of the tests: scripted keys that arrive at chosen moments of a
// simulated clock, and captured output. Waiting for a key and drawing on a
// slow terminal take that clock's time.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/terminal.h"
#include "simulated_clock.h"

namespace talvoren {

class SimulatedTerminal final : public Terminal {
public:
    // Keys arrive, and drawing takes time, on `clock`, which must outlive
    // this console.
    explicit SimulatedTerminal(SimulatedClock& clock) : clock_(&clock) {}

    // Input available from the start, as piped into the game.
    void type(std::string_view bytes) { typeAt(clock_->nowMs(), bytes); }
    // Input that arrives at virtual time `atMs` (a key press during the bar).
    void typeAt(std::int64_t atMs, std::string_view bytes);
    // Behave like a person at a terminal (keys mashed in the bar are dropped).
    void setInteractive(bool interactive) { interactive_ = interactive; }
    // Control sequences appear in the transcript as markers such as "<clear>".
    void setShowControls(bool show) { showControls_ = show; }
    // Output goes to a console of this many columns (none by default: the
    // transcript then holds every byte as piped output would); 0 is a
    // terminal that reports no size. The cursor's
    // "<cursor hidden>" and "<cursor shown>" appear only with a console.
    void setConsoleWidth(std::optional<int> columns) { width_ = columns; }
    // Behave like the Windows console, which moves on as soon as a row's last
    // column is written (an xterm-like terminal by default).
    void setWrapsAtLastColumn(bool wraps) { wrapsAtLastColumn_ = wraps; }
    bool cursorVisible() const { return cursorVisible_; }
    // The console shows text in `encoding` (UTF-8 by default).
    void setTextEncoding(TextEncoding encoding) { encoding_ = encoding; }

    // Limits for long unattended runs such as fuzzing; 0 means no limit, and
    // no limit is set unless asked for. Once `reads` calls of readInput have
    // been made, or the clock has reached `virtualMs`, input reports its
    // end, so a game that keeps reading or waiting has to stop. Past
    // `transcriptBytes`, the transcript keeps only its latest part (at least
    // that many bytes, at most twice that); outputBytes() still counts it all.
    struct Budget {
        std::size_t reads = 0;
        std::int64_t virtualMs = 0;
        std::size_t transcriptBytes = 0;
    };
    void setBudget(const Budget& budget) { budget_ = budget; }
    // True once the budget, not the script, has ended the input.
    bool budgetSpent() const { return budgetSpent_; }
    std::size_t inputReads() const { return reads_; }
    // Every byte of game text and markers written, kept or not.
    std::size_t outputBytes() const { return outputBytes_; }
    // A slow terminal: every flush takes `drawMs` of the clock's time, and the
    // flush numbered `stallAfter` (from 0) is followed by a stall of
    // `stallMs`, as after Ctrl-Z and fg.
    void setDrawTime(std::int64_t drawMs, int stallAfter = -1, std::int64_t stallMs = 0) {
        drawMs_ = drawMs;
        stallAfter_ = stallAfter;
        stallMs_ = stallMs;
    }
    // Notes the clock's time of every write and every cursor home from now on.
    void noteTimes() { notingTimes_ = true; }
    const std::vector<std::pair<std::int64_t, std::string>>& timedWrites() const { return timedWrites_; }
    const std::vector<std::int64_t>& homeTimes() const { return homeTimes_; }

    // Everything written, with "<clear>", "<home>", "<colour N>", "<title T>"
    // and "<window WxH>" standing for the control operations.
    const std::string& transcript() const { return transcript_; }
    void clearTranscript() { transcript_.clear(); }
    // The transcript split at every clear of the screen.
    std::vector<std::string> screens() const;
    TextColour colour() const { return colour_; }
    int keyModeEntries() const { return keyModeEntries_; }
    bool inKeyMode() const { return inKeyMode_; }
    // Bytes scripted but never read.
    std::size_t unreadInput() const;
    int flushCount() const { return flushes_; }

    void write(std::string_view text) override;
    void flush() override;
    void clearScreen() override { marker("<clear>"); }
    void setTextColour(TextColour colour) override;
    void homeCursor() override;
    std::optional<int> width() override { return width_; }
    bool wrapsAtLastColumn() override { return wrapsAtLastColumn_; }
    TextEncoding textEncoding() override { return encoding_; }
    void setCursorVisible(bool visible) override;
    void setTitle(std::string_view title) override;
    void requestWindowSize(int widthPixels, int heightPixels) override;
    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override;
    bool inputIsInteractive() override { return interactive_; }
    void enterKeyMode() override;
    void leaveKeyMode() override;

private:
    struct Arrival {
        std::int64_t atMs;
        std::string bytes;
    };
    void marker(std::string_view text);
    void record(std::string_view text);
    bool inputBudgetSpent();
    void waitUntil(std::int64_t atMs) { clock_->sleepMs(atMs - clock_->nowMs()); }

    SimulatedClock* clock_;  // a pointer, so that a test can put a fresh console in place
    std::deque<Arrival> input_;
    bool interactive_ = false;
    bool showControls_ = true;
    std::optional<int> width_;
    bool wrapsAtLastColumn_ = false;
    TextEncoding encoding_ = TextEncoding::utf8;
    bool cursorVisible_ = true;
    bool inKeyMode_ = false;
    int keyModeEntries_ = 0;
    int flushes_ = 0;
    TextColour colour_ = TextColour::Default;
    std::string transcript_;
    Budget budget_;
    bool budgetSpent_ = false;
    std::size_t reads_ = 0;
    std::size_t outputBytes_ = 0;
    std::int64_t drawMs_ = 0;
    int stallAfter_ = -1;
    std::int64_t stallMs_ = 0;
    bool notingTimes_ = false;
    std::vector<std::pair<std::int64_t, std::string>> timedWrites_;
    std::vector<std::int64_t> homeTimes_;
};

}  // namespace talvoren
