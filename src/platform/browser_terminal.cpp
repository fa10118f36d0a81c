// The browser back end: the game compiled to WebAssembly writes to an xterm.js
// terminal in the page with the same escapes as a POSIX terminal, and reads
// the terminal's key strings through the game's own line discipline. Blocking
// reads and sleeps suspend the game (Asyncify) and let the page run. The
// JavaScript half (browser_terminal.js) owns the terminal, the key queue and
// the IndexedDB folder that keeps the save.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/line_discipline.h"
#include "platform/platform.h"
#include "platform/posix_files.h"

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

EM_JS(void, setDocumentTitle, (const char* title), {
    Module.talvoren.setTitle(UTF8ToString(title));
});

EM_JS(const char*, installedPictureFolder, (), {
    return allocateUTF8(Module.talvoren.pictureFolder);
});

// Copies the save folder into IndexedDB and waits for it. Returns 1 when it
// is stored, 0 with the browser's reason in `reason` when it is not.
EM_ASYNC_JS(int, storeSavedFiles, (char* reason, std::size_t capacity), {
    const problem = await Module.talvoren.storeSaves();
    if (problem === null) return 1;
    stringToUTF8(problem, reason, capacity);
    return 0;
});
// clang-format on

std::string takeJsString(const char* text) {
    std::string copy = text != nullptr ? text : "";
    std::free(const_cast<char*>(text));
    return copy;
}

class BrowserTerminal final : public Platform {
public:
    BrowserTerminal() : pictureFolder_(takeJsString(installedPictureFolder())) {}

    void write(std::string_view text) override {
        pending_.append(text);
        if (pending_.size() >= kFlushThreshold) flush();
    }

    void flush() override {
        if (pending_.empty()) return;
        terminalWrite(pending_.data(), pending_.size());
        pending_.clear();
    }

    // As on a POSIX terminal, only the screen: earlier screens stay in the
    // terminal's scrollback for the player to read back.
    void clearScreen() override { pending_ += "\x1b[H\x1b[2J"; }

    void setTextColour(TextColour colour) override {
        switch (colour) {
            case TextColour::Green: pending_ += "\x1b[0;32;40m"; break;
            case TextColour::Cyan: pending_ += "\x1b[0;36;40m"; break;
            case TextColour::Red: pending_ += "\x1b[0;31;40m"; break;
            case TextColour::BrightWhite: pending_ += "\x1b[0;97;40m"; break;
        }
    }

    void homeCursor() override { pending_ += "\x1b[H"; }

    // The page fits the terminal to its window, so this is read afresh.
    std::optional<int> consoleWidth() override {
        const int columns = terminalColumns();
        if (columns <= 0) return std::nullopt;
        return columns;
    }

    void setCursorVisible(bool visible) override {
        pending_ += visible ? "\x1b[?25h" : "\x1b[?25l";
        flush();
    }

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
    }

    void leaveKeyMode() override {
        if (!keys_.inKeyMode()) return;
        echoTypedKeys();
        keys_.leaveKeyMode();
    }

    // The save is made only once IndexedDB holds it. When the browser refuses,
    // the page's copy goes back to what IndexedDB still has, so that Load Game
    // finds the same save before and after a reload.
    SaveOutcome replaceFileAtomically(const std::string& path, std::string_view contents) override {
        const std::optional<std::string> previous = readWholeFile(path);
        const SaveOutcome outcome = replaceFileAtomicallyPosix(path, contents);
        if (!outcome.saved) return outcome;
        const std::string refused = storeInBrowser();
        if (refused.empty()) return outcome;
        if (previous) {
            replaceFileAtomicallyPosix(path, *previous);
        } else {
            std::remove(path.c_str());
        }
        return {false, refused};
    }

    std::string installedDataFolder() override { return pictureFolder_; }

private:
    static constexpr std::size_t kFlushThreshold = 64 * 1024;

    // Empty when IndexedDB holds the save folder, else why it does not.
    static std::string storeInBrowser() {
        std::array<char, 512> problem{};
        if (storeSavedFiles(problem.data(), problem.size()) != 0) return {};
        return "the browser could not store it (" + std::string(problem.data()) + ")";
    }

    static std::optional<std::string> readWholeFile(const std::string& path) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) return std::nullopt;
        std::string contents;
        std::array<char, 4096> block{};
        for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0;) {
            contents.append(block.data(), got);
        }
        std::fclose(file);
        return contents;
    }

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

    std::string pictureFolder_;
    std::string pending_;
    LineDiscipline keys_;
};

}  // namespace

Platform& nativePlatform() {
    static BrowserTerminal terminal;
    return terminal;
}

}  // namespace talvoren
