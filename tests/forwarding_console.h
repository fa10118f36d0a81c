// A console that hands every operation to a simulated one; tests derive from
// it to slow, stall or watch just the operations they care about.
#pragma once

#include "platform/simulated_platform.h"

namespace talvoren::testing {

class ForwardingConsole : public Platform {
public:
    explicit ForwardingConsole(SimulatedPlatform& inner) : inner_(inner) {}

    void write(std::string_view text) override { inner_.write(text); }
    void flush() override { inner_.flush(); }
    void clearScreen() override { inner_.clearScreen(); }
    void setTextColour(TextColour colour) override { inner_.setTextColour(colour); }
    void homeCursor() override { inner_.homeCursor(); }
    std::optional<int> consoleWidth() override { return inner_.consoleWidth(); }
    bool consoleWrapsAtLastColumn() override { return inner_.consoleWrapsAtLastColumn(); }
    void setCursorVisible(bool visible) override { inner_.setCursorVisible(visible); }
    void setTitle(std::string_view title) override { inner_.setTitle(title); }
    void requestWindowSize(int width, int height) override { inner_.requestWindowSize(width, height); }
    void sleepMs(std::int64_t milliseconds) override { inner_.sleepMs(milliseconds); }
    std::int64_t calendarSeconds() override { return inner_.calendarSeconds(); }
    std::int64_t steadyMs() override { return inner_.steadyMs(); }
    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override {
        return inner_.readInput(buffer, capacity, wait);
    }
    bool inputIsInteractive() override { return inner_.inputIsInteractive(); }
    void enterKeyMode() override { inner_.enterKeyMode(); }
    void leaveKeyMode() override { inner_.leaveKeyMode(); }
    SaveOutcome replaceFileAtomically(const std::string& path, std::string_view contents) override {
        return inner_.replaceFileAtomically(path, contents);
    }
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override {
        return inner_.openForReading(path);
    }
    std::string installedDataFolder() override { return inner_.installedDataFolder(); }

protected:
    SimulatedPlatform& inner_;
};

}  // namespace talvoren::testing
