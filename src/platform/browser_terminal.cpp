// The browser back end: the game compiled to WebAssembly writes to an xterm.js
// terminal in the page with the same escapes as a POSIX terminal, and reads
// the terminal's key strings through the game's own line discipline. Blocking
// reads and sleeps suspend the game (Asyncify) and let the page run. The
// JavaScript half (browser_terminal.js) owns the terminal, the key queue and
// the IndexedDB folder that keeps the save.
#include <emscripten.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/ansi_writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/posix_files.h"
#include "platform/terminal.h"
#include "rules/line_discipline.h"

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

// The terminal and the clock are one: a pause shows what was written first
// and echoes keys typed meanwhile.
class BrowserTerminal final : public Terminal, public Clock {
public:
    void write(std::string_view text) override { out_.write(text); }

    void flush() override { out_.flush(); }

    // As on a POSIX terminal, only the screen: earlier screens stay in the
    // terminal's scrollback for the player to read back.
    void clearScreen() override { out_.clearScreen(); }

    void setTextColour(TextColour colour) override { out_.setTextColour(colour); }

    void homeCursor() override { out_.homeCursor(); }

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

    std::int64_t calendarSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }

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

// The page's files live in memory, kept in IndexedDB between visits.
class BrowserFiles final : public Files {
public:
    BrowserFiles() : pictureFolder_(takeJsString(installedPictureFolder())) {}

    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override {
        return openForReadingPosix(path);
    }

    // The save is made only once IndexedDB holds it. When the browser refuses,
    // the page's copy goes back to what IndexedDB still has, so that Load Game
    // finds the same save before and after a reload.
    SaveOutcome replace(const std::string& path, std::string_view contents) override {
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

    std::string dataFolder() override { return pictureFolder_; }

private:
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

    std::string pictureFolder_;
};

BrowserTerminal& browserTerminal() {
    static BrowserTerminal terminal;
    return terminal;
}

}  // namespace

Terminal& nativeTerminal() {
    return browserTerminal();
}

Clock& nativeClock() {
    return browserTerminal();
}

Files& nativeFiles() {
    static BrowserFiles files;
    return files;
}

}  // namespace talvoren
