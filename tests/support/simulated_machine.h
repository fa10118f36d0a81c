// The machine of the tests: a console with scripted keys that arrive at
// chosen moments and captured output, a virtual clock that sleeping
// advances at once, and the real files of the working folder, saved by the
// game's own save over the real disk, with failures that a test can call for.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "faulty_file_system.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/terminal.h"

namespace talvoren {

class SimulatedMachine final : public Terminal, public Clock, public Files {
public:
    // Calendar second at virtual time 0 (pinned so draws repeat).
    explicit SimulatedMachine(std::int64_t startSecond = 1'700'000'000);

    // Input available from the start, as piped into the game.
    void type(std::string_view bytes) { typeAt(nowMs_, bytes); }
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
    // Files live in the real working folder; these make their use fail as a
    // disk would. Every later save fails with `reason` ("No space left on
    // device"); an empty reason lets saves work again.
    void failSaves(const std::string& reason);
    // The disk under the saves, for failures of any step.
    FaultyFileSystem& disk() { return disk_; }
    // Opening `path` for reading fails, as for a missing or unreadable file.
    void failOpening(const std::string& path) { unopenable_.push_back(path); }
    // Reading `path` fails with a read error once `bytes` bytes were read.
    void cutReadsShort(const std::string& path, std::size_t bytes) { shortReads_.emplace_back(path, bytes); }

    // Limits for long unattended runs such as fuzzing; 0 means no limit, and
    // no limit is set unless asked for. Once `reads` calls of readInput have
    // been made, or the virtual clock has reached `virtualMs`, input reports
    // its end, so a game that keeps reading or waiting has to stop. Past
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
    // A slow terminal: every flush takes `drawMs` of virtual time, and the
    // flush numbered `stallAfter` (from 0) is followed by a stall of
    // `stallMs`, as after Ctrl-Z and fg.
    void setDrawTime(std::int64_t drawMs, int stallAfter = -1, std::int64_t stallMs = 0) {
        drawMs_ = drawMs;
        stallAfter_ = stallAfter;
        stallMs_ = stallMs;
    }
    // Notes the virtual time of every write and every cursor home from now on.
    void noteTimes() { notingTimes_ = true; }
    const std::vector<std::pair<std::int64_t, std::string>>& timedWrites() const { return timedWrites_; }
    const std::vector<std::int64_t>& homeTimes() const { return homeTimes_; }
    // Pretends the game is installed with its pictures in `folder`.
    void setInstalledDataFolder(std::string folder) { installedDataFolder_ = std::move(folder); }
    // Pretends the running program lies in `folder`.
    void setExecutableFolder(std::string folder) { executableFolder_ = std::move(folder); }

    // Everything written, with "<clear>", "<home>", "<colour N>", "<title T>"
    // and "<window WxH>" standing for the control operations.
    const std::string& transcript() const { return transcript_; }
    void clearTranscript() { transcript_.clear(); }
    // The transcript split at every clear of the screen.
    std::vector<std::string> screens() const;
    std::int64_t nowMs() const { return nowMs_; }
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
    void sleepMs(std::int64_t milliseconds) override;
    std::int64_t calendarSeconds() override { return startSecond_ + nowMs_ / 1000; }
    std::int64_t steadyMs() override { return nowMs_; }
    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override;
    bool inputIsInteractive() override { return interactive_; }
    void enterKeyMode() override;
    void leaveKeyMode() override;
    SaveOutcome replace(const std::string& path, std::string_view contents) override;
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override;
    std::string dataFolder() override { return installedDataFolder_; }
    std::string executableFolder() override { return executableFolder_; }

private:
    struct Arrival {
        std::int64_t atMs;
        std::string bytes;
    };
    void marker(std::string_view text);
    void record(std::string_view text);
    bool inputBudgetSpent();

    std::int64_t startSecond_;
    std::int64_t nowMs_ = 0;
    std::deque<Arrival> input_;
    bool interactive_ = false;
    bool showControls_ = true;
    std::optional<int> width_;
    bool wrapsAtLastColumn_ = false;
    TextEncoding encoding_ = TextEncoding::utf8;
    bool cursorVisible_ = true;
    FaultyFileSystem disk_;
    std::vector<std::string> unopenable_;
    std::vector<std::pair<std::string, std::size_t>> shortReads_;
    bool inKeyMode_ = false;
    int keyModeEntries_ = 0;
    int flushes_ = 0;
    TextColour colour_ = TextColour::Default;
    std::string transcript_;
    Budget budget_;
    bool budgetSpent_ = false;
    std::size_t reads_ = 0;
    std::size_t outputBytes_ = 0;
    std::string installedDataFolder_;
    std::string executableFolder_;
    std::int64_t drawMs_ = 0;
    int stallAfter_ = -1;
    std::int64_t stallMs_ = 0;
    bool notingTimes_ = false;
    std::vector<std::pair<std::int64_t, std::string>> timedWrites_;
    std::vector<std::int64_t> homeTimes_;
};

}  // namespace talvoren
