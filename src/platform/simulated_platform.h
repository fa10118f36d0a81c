// A console for tests: a virtual clock that sleeping advances at once,
// scripted keys that arrive at chosen moments, and captured output.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace talvoren {

class SimulatedPlatform final : public Platform {
public:
    // Calendar second at virtual time 0 (pinned so draws repeat).
    explicit SimulatedPlatform(std::int64_t startSecond = 1'700'000'000);

    // Input available from the start, as piped into the game.
    void type(std::string_view bytes) { typeAt(nowMs_, bytes); }
    // Input that arrives at virtual time `atMs` (a key press during the bar).
    void typeAt(std::int64_t atMs, std::string_view bytes);
    // Behave like a person at a terminal (keys mashed in the bar are dropped).
    void setInteractive(bool interactive) { interactive_ = interactive; }
    // Control sequences appear in the transcript as markers such as "<clear>".
    void setShowControls(bool show) { showControls_ = show; }
    // Makes every later save fail, as on a full disk.
    void setFileWritesFail(bool fail) { writesFail_ = fail; }

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

    void write(std::string_view text) override { transcript_.append(text); }
    void flush() override { ++flushes_; }
    void clearScreen() override { marker("<clear>"); }
    void setTextColour(TextColour colour) override;
    void homeCursor() override { marker("<home>"); }
    void setTitle(std::string_view title) override;
    void requestWindowSize(int widthPixels, int heightPixels) override;
    void sleepMs(std::int64_t milliseconds) override;
    std::int64_t calendarSeconds() override { return startSecond_ + nowMs_ / 1000; }
    std::int64_t steadyMs() override { return nowMs_; }
    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override;
    bool inputIsInteractive() override { return interactive_; }
    void enterKeyMode() override;
    void leaveKeyMode() override;
    bool replaceFileAtomically(const std::string& path, std::string_view contents) override;

private:
    struct Arrival {
        std::int64_t atMs;
        std::string bytes;
    };
    void marker(std::string_view text);

    std::int64_t startSecond_;
    std::int64_t nowMs_ = 0;
    std::deque<Arrival> input_;
    bool interactive_ = false;
    bool showControls_ = true;
    bool writesFail_ = false;
    bool inKeyMode_ = false;
    int keyModeEntries_ = 0;
    int flushes_ = 0;
    TextColour colour_ = TextColour::BrightWhite;
    std::string transcript_;
};

}  // namespace talvoren
