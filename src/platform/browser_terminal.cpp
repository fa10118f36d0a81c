// The browser back end: the game compiled to WebAssembly writes to an xterm.js
// terminal in the page with the same escapes as a POSIX terminal, and reads
// the terminal's key strings through the game's own line discipline. Blocking
// reads and sleeps suspend the game (Asyncify) and let the page run. The
// JavaScript half (browser_terminal.js) owns the terminal, the key queue and
// the IndexedDB folder that keeps the save (the files' side is browser_files.cpp).
#include <emscripten.h>
#include <emscripten/html5.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_writer.h"
#include "platform/back_end.h"
#include "rules/line_discipline.h"
#include "rules/save_format.h"

namespace talvoren {

namespace {

// clang-format off
EM_JS(void, terminalWrite, (const char* data, std::size_t size), {
    Module.talvoren.write(HEAPU8.slice(data, data + size));
});

// Copies keys the player typed since the last call; never waits.
EM_JS(std::size_t, takeTypedKeys, (char* buffer, std::size_t capacity), {
    return Module.talvoren.takeKeys(buffer, capacity);
});

EM_ASYNC_JS(void, waitForTypedKeys, (), {
    await Module.talvoren.keysArrived();
});

EM_JS(int, terminalColumns, (), {
    return window.term.cols;
});

// The page turns a tap into the space bar while the bar runs.
EM_JS(void, tellKeyMode, (int on), {
    Module.talvoren.setKeyMode(on !== 0);
});

// The page fits the terminal to a resized window only between screens.
EM_JS(int, refitIsPending, (), {
    return Module.talvoren.needsRefit() ? 1 : 0;
});

EM_ASYNC_JS(void, refitTerminal, (), {
    await Module.talvoren.refit();
});

EM_JS(void, setDocumentTitle, (const char* title), {
    Module.talvoren.setTitle(UTF8ToString(title));
});

// clang-format on

// The terminal and the clock are one: a pause shows what was written first
// and echoes keys typed meanwhile.
class BrowserTerminal final : public Console {
public:
    void write(std::string_view text) override { out_.write(text); }

    void flush() override { out_.flush(); }

    // As on a POSIX terminal, only the screen: earlier screens stay in the
    // terminal's scrollback for the player to read back. A window resized
    // meanwhile is fitted now, on the blank screen, just before the game
    // reads the width for the new one.
    void clearScreen() override {
        out_.clearScreen();
        if (refitIsPending() != 0) {
            out_.flush();
            refitTerminal();
        }
    }

    void setTextColour(TextColour colour) override { out_.setTextColour(colour); }

    void homeCursor() override { out_.homeCursor(); }

    // The page's terminal, even before it has been measured.
    bool outputIsConsole() override { return true; }

    // The page fits the terminal to its window, so this is read afresh.
    std::optional<int> width() override {
        const int columns = terminalColumns();
        if (columns <= 0) return std::nullopt;
        return columns;
    }

    void setCursorVisible(bool visible) override { out_.setCursorVisible(visible); }

    void setTitle(std::string_view title) override { setDocumentTitle(std::string(title).c_str()); }

    // A page cannot size the browser's window; the terminal keeps its size.
    void requestWindowSize(int, int) override {}

    void sleepMs(std::int64_t milliseconds) override {
        flush();
        if (milliseconds > 0) emscripten_sleep(static_cast<unsigned>(milliseconds));
        echoTypedKeys();
    }

    // From the page's clock, not time(): this build's time_t has 32 bits
    // and ends in January 2038.
    std::int64_t calendarSeconds() override {
        return static_cast<std::int64_t>(emscripten_date_now() / 1000.0);
    }

    std::int64_t steadyMs() override { return static_cast<std::int64_t>(emscripten_get_now()); }

    // The page never closes the game's input, so this never reports its end.
    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override {
        for (;;) {
            echoTypedKeys();
            const std::size_t got = keys_.take(buffer, capacity);
            if (got > 0 || !wait) return static_cast<std::ptrdiff_t>(got);
            waitForTypedKeys();
        }
    }

    bool inputIsInteractive() override { return true; }

    void enterKeyMode() override {
        echoTypedKeys();
        keys_.enterKeyMode();
        tellKeyMode(1);
    }

    void leaveKeyMode() override {
        if (!keys_.inKeyMode()) return;
        echoTypedKeys();
        keys_.leaveKeyMode();
        tellKeyMode(0);
    }

private:
    // Keys typed while the game was busy (a pause, a sleep) are echoed as
    // soon as it looks, as a terminal would have echoed them at once.
    void echoTypedKeys() {
        std::array<char, 4096> typed{};
        for (;;) {
            const std::size_t got = takeTypedKeys(typed.data(), typed.size());
            if (got == 0) break;
            write(keys_.feed(std::string_view(typed.data(), got)));
        }
        flush();
    }

    AnsiWriter out_{
        [](const AnsiOutput& output) { terminalWrite(output.bytes.data(), output.bytes.size()); }};
    LineDiscipline keys_;
};

BrowserTerminal& browserTerminal() {
    static BrowserTerminal terminal;
    return terminal;
}

}  // namespace

// The page's "Import save" takes a file only when Load Game could continue
// it: the game's own test, so that the page and the game never disagree.
extern "C" EMSCRIPTEN_KEEPALIVE int talvorenCanBeContinued(const char* bytes, std::size_t size) {
    if (bytes == nullptr) return 0;
    return canBeContinued(splitSaveLines(std::string_view(bytes, size))) ? 1 : 0;
}

Console& backEndConsole() {
    return browserTerminal();
}

}  // namespace talvoren
