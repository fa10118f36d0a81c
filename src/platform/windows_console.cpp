// The Windows back end: the console API for clearing, colours, the cursor,
// the title, the window size and the space bar when the game runs in a
// console window; plain bytes through pipes and files otherwise, so that a
// script can drive the game exactly as it does on POSIX.
#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/back_end.h"
#include "platform/windows_text.h"  // brings <windows.h>, lean and without min/max

namespace talvoren {

namespace {

// Shared with the console control handler, which runs on a thread of its own.
std::atomic<HANDLE> consoleOutput{nullptr};
std::atomic<int> startAttributes{-1};
std::atomic<bool> cursorHidden{false};
// The game thread may be drawing the bar when Ctrl+C arrives: colour and
// cursor changes take this lock, and none is made once the handler has given
// the player's console back, or the game would end in the bar's green.
std::mutex consoleStateLock;
bool consoleRestored = false;

void showCursor(HANDLE output) {
    CONSOLE_CURSOR_INFO cursor{};
    if (::GetConsoleCursorInfo(output, &cursor) == 0) return;
    cursor.bVisible = TRUE;
    ::SetConsoleCursorInfo(output, &cursor);
}

BOOL WINAPI onConsoleControl(DWORD) {
    // Give the player's console its colours and cursor back, then let Windows end the game.
    const std::lock_guard<std::mutex> lock(consoleStateLock);
    const int attributes = startAttributes.load();
    const HANDLE output = consoleOutput.load();
    if (attributes >= 0 && output != nullptr) {
        ::SetConsoleTextAttribute(output, static_cast<WORD>(attributes));
        if (cursorHidden.load()) showCursor(output);
        consoleRestored = true;
    }
    return FALSE;
}

void setConsoleColour(HANDLE output, WORD attributes) {
    const std::lock_guard<std::mutex> lock(consoleStateLock);
    if (!consoleRestored) ::SetConsoleTextAttribute(output, attributes);
}

bool isConsoleHandle(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// Reads an input that cannot be asked what is waiting: a thread blocks on
// it and collects the bytes, and the game takes them with or without
// waiting. The thread holds its own share of the state, so it may still be
// blocked in a read when the game ends; ending the process stops it.
class BackgroundReader {
public:
    explicit BackgroundReader(HANDLE input) : state_(std::make_shared<State>()) {
        std::thread([state = state_, input] { readUntilEnd(*state, input); }).detach();
    }

    std::ptrdiff_t take(char* buffer, std::size_t capacity, bool wait) {
        std::unique_lock<std::mutex> lock(state_->mutex);
        if (wait) state_->arrived.wait(lock, [this] { return !state_->bytes.empty() || state_->ended; });
        if (state_->bytes.empty()) return state_->ended ? -1 : 0;
        const std::size_t count = std::min(capacity, state_->bytes.size());
        std::copy_n(state_->bytes.data(), count, buffer);
        state_->bytes.erase(0, count);
        return static_cast<std::ptrdiff_t>(count);
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable arrived;
        std::string bytes;
        bool ended = false;
    };

    static void readUntilEnd(State& state, HANDLE input) {
        std::array<char, 4096> chunk{};
        for (;;) {
            DWORD got = 0;
            const bool read =
                ::ReadFile(input, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) != 0;
            const std::lock_guard<std::mutex> lock(state.mutex);
            if (!read || got == 0) {
                state.ended = true;
                state.arrived.notify_all();
                return;
            }
            state.bytes.append(chunk.data(), got);
            state.arrived.notify_all();
        }
    }

    std::shared_ptr<State> state_;
};

// The console and the clock are one: a pause shows what was written first.
class WindowsConsole final : public Console {
public:
    WindowsConsole()
        : out_(::GetStdHandle(STD_OUTPUT_HANDLE)),
          in_(::GetStdHandle(STD_INPUT_HANDLE)),
          outputIsConsole_(isConsoleHandle(out_)),
          inputIsConsole_(isConsoleHandle(in_)),
          inputKind_(inputIsConsole_ ? FILE_TYPE_CHAR : fileTypeOf(in_)) {
        if (outputIsConsole_) {
            CONSOLE_SCREEN_BUFFER_INFO info{};
            if (::GetConsoleScreenBufferInfo(out_, &info) != 0) {
                startAttributes.store(info.wAttributes);
                consoleOutput.store(out_);
                ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
            }
        }
    }

    ~WindowsConsole() override {
        leaveKeyMode();
        setCursorVisible(true);
        flush();
        const int attributes = startAttributes.load();
        if (outputIsConsole_ && attributes >= 0) setConsoleColour(out_, static_cast<WORD>(attributes));
    }

    WindowsConsole(const WindowsConsole&) = delete;
    WindowsConsole& operator=(const WindowsConsole&) = delete;

    void write(std::string_view text) override {
        if (outputIsConsole_) {
            pending_.append(text);
        } else {
            // Redirected output gets the text files' line ends, as a text-mode stream writes them.
            for (const char c : text) {
                if (c == '\n') pending_.push_back('\r');
                pending_.push_back(c);
            }
        }
        if (pending_.size() >= kFlushThreshold) flush();
    }

    void flush() override {
        std::size_t at = 0;
        while (at < pending_.size()) {
            // Small pieces: old consoles refuse very large single writes.
            const DWORD piece =
                static_cast<DWORD>(std::min<std::size_t>(pending_.size() - at, std::size_t{16} * 1024));
            DWORD done = 0;
            if (::WriteFile(out_, pending_.data() + at, piece, &done, nullptr) == 0 || done == 0) {
                break;  // output closed: the game goes on without it
            }
            at += done;
        }
        pending_.clear();
    }

    // Blanks the whole screen buffer, scrolled-out rows included, in the
    // current colours and homes the cursor. Each step runs only when the one
    // before it worked; a failure ends the clear silently.
    void clearScreen() override {
        flush();
        const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (output == INVALID_HANDLE_VALUE) return;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (::GetConsoleScreenBufferInfo(output, &info) == 0) return;
        const std::int32_t width = info.dwSize.X;
        const std::int32_t height = info.dwSize.Y;
        if (width <= 0 || height <= 0) return;
        const DWORD cells = static_cast<DWORD>(width) * static_cast<DWORD>(height);
        const COORD origin{0, 0};
        DWORD written = 0;
        if (::FillConsoleOutputCharacterW(output, L' ', cells, origin, &written) == 0) return;
        if (::FillConsoleOutputAttribute(output, info.wAttributes, cells, origin, &written) == 0) return;
        ::SetConsoleCursorPosition(output, origin);
    }

    void setTextColour(TextColour colour) override {
        if (!outputIsConsole_) return;
        flush();  // text written so far keeps the colour it was written in
        // The console's own colours are its bright white on black, as the game has always used.
        const TextColour shown = colour == TextColour::Default ? TextColour::BrightWhite : colour;
        setConsoleColour(out_, static_cast<WORD>(shown));
    }

    void homeCursor() override {
        if (!outputIsConsole_) return;
        flush();
        ::SetConsoleCursorPosition(out_, COORD{0, 0});
    }

    bool outputIsConsole() override { return outputIsConsole_; }

    // The screen buffer's width, which is what the console wraps at (not the
    // window's, which may show only part of it).
    std::optional<int> width() override {
        if (!outputIsConsole_) return std::nullopt;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (::GetConsoleScreenBufferInfo(out_, &info) == 0 || info.dwSize.X <= 0) return std::nullopt;
        return static_cast<int>(info.dwSize.X);
    }

    // A console wraps as soon as the last column is written, unless it waits
    // for the next character (DISABLE_NEWLINE_AUTO_RETURN) or does not wrap.
    // The console shows a character of its code page for every byte from 0x80.
    TextEncoding textEncoding() override { return TextEncoding::codePage; }

    bool wrapsAtLastColumn() override {
        DWORD mode = 0;
        if (!outputIsConsole_ || ::GetConsoleMode(out_, &mode) == 0) return true;
        return (mode & ENABLE_WRAP_AT_EOL_OUTPUT) != 0 && (mode & kDisableNewlineAutoReturn) == 0;
    }

    void setCursorVisible(bool visible) override {
        if (!outputIsConsole_ || cursorHidden.load() == !visible) return;
        flush();
        const std::lock_guard<std::mutex> lock(consoleStateLock);
        if (consoleRestored) return;
        CONSOLE_CURSOR_INFO cursor{};
        if (::GetConsoleCursorInfo(out_, &cursor) == 0) return;
        cursor.bVisible = visible ? TRUE : FALSE;
        if (!visible) cursorHidden.store(true);
        if (::SetConsoleCursorInfo(out_, &cursor) != 0 && visible) cursorHidden.store(false);
    }

    void setTitle(std::string_view title) override {
        const std::wstring wide = widenText(title, CP_UTF8);
        if (!wide.empty()) ::SetConsoleTitleW(wide.c_str());
    }

    // Keeps the window's top-left corner and asks for the new size; without
    // a console window nothing happens.
    void requestWindowSize(int widthPixels, int heightPixels) override {
        const HWND window = ::GetConsoleWindow();
        if (window == nullptr) return;
        RECT frame{};
        if (::GetWindowRect(window, &frame) == 0) return;
        ::MoveWindow(window, frame.left, frame.top, widthPixels, heightPixels, TRUE);
    }

    void sleepMs(std::int64_t milliseconds) override {
        flush();
        while (milliseconds > 0) {
            const std::int64_t piece = std::min<std::int64_t>(milliseconds, 0x7fffffff);
            ::Sleep(static_cast<DWORD>(piece));
            milliseconds -= piece;
        }
    }

    std::int64_t calendarSeconds() override { return static_cast<std::int64_t>(::_time64(nullptr)); }

    std::int64_t steadyMs() override { return static_cast<std::int64_t>(::GetTickCount64()); }

    // Text-mode input: CR LF arrives as LF, and on a console a Ctrl+Z line
    // ends the input.
    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override {
        if (capacity == 0) return 0;
        for (;;) {
            if (!ready_.empty()) {
                const std::size_t count = std::min(capacity, ready_.size());
                std::memcpy(buffer, ready_.data(), count);
                ready_.erase(0, count);
                return static_cast<std::ptrdiff_t>(count);
            }
            if (ended_) {
                if (!heldCarriageReturn_) return -1;
                heldCarriageReturn_ = false;
                ready_.push_back('\r');
                continue;
            }
            std::array<char, 4096> chunk{};
            const std::ptrdiff_t got = readRaw(chunk.data(), chunk.size(), wait);
            if (got < 0) {
                ended_ = true;
                continue;
            }
            if (got == 0) return 0;
            translate(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
            if (ready_.empty() && !wait) return 0;  // only a CR so far: its LF may follow
        }
    }

    bool inputIsInteractive() override { return inputIsConsole_; }

    void enterKeyMode() override {
        if (!inputIsConsole_ || keyMode_) return;
        keyMode_ = true;
        // Forget a space pressed before the bar began; only presses from now on count.
        ::GetAsyncKeyState(VK_SPACE);
    }

    // The space that stopped the bar and any keys mashed with it are still
    // waiting in the console's input; they must not answer the next prompt.
    void leaveKeyMode() override {
        if (!keyMode_) return;
        keyMode_ = false;
        ::FlushConsoleInputBuffer(in_);
        ready_.clear();
        heldCarriageReturn_ = false;
    }

    DirectKey pollSpaceBarDirectly() override {
        if (!inputIsConsole_) return DirectKey::NotSupported;
        // Down now, or pressed since the previous poll.
        return ::GetAsyncKeyState(VK_SPACE) != 0 ? DirectKey::Down : DirectKey::Up;
    }

private:
    static constexpr std::size_t kFlushThreshold = std::size_t{64} * 1024;
    static constexpr DWORD kDisableNewlineAutoReturn = 0x0008;  // missing from older headers

    static DWORD fileTypeOf(HANDLE handle) {
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
        return ::GetFileType(handle);
    }

    // True when a read of the console would return at once: the rest of a
    // line already under way, or a finished line (Enter) among the waiting keys.
    bool consoleLineReady() {
        if (consoleLineOpen_) return true;
        DWORD waiting = 0;
        if (::GetNumberOfConsoleInputEvents(in_, &waiting) == 0 || waiting == 0) return false;
        std::vector<INPUT_RECORD> events(std::min<DWORD>(waiting, 512));
        DWORD seen = 0;
        if (::PeekConsoleInputW(in_, events.data(), static_cast<DWORD>(events.size()), &seen) == 0) {
            return false;
        }
        for (DWORD index = 0; index < seen && index < events.size(); ++index) {
            const INPUT_RECORD& event = events[index];
            if (event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown != 0 &&
                event.Event.KeyEvent.wVirtualKeyCode == VK_RETURN) {
                return true;
            }
        }
        return false;
    }

    // One read from standard input as it is. Returns the count, 0 when
    // nothing is there yet (only without waiting), or -1 at the end.
    std::ptrdiff_t readRaw(char* buffer, std::size_t capacity, bool wait) {
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(capacity, 0x10000));
        DWORD got = 0;
        if (inputIsConsole_) {
            if (!wait && !consoleLineReady()) return 0;
            if (::ReadConsoleA(in_, buffer, size, &got, nullptr) == 0 || got == 0) return -1;
            consoleLineOpen_ = buffer[got - 1] != '\n';
            // Ctrl+Z is the console's end of input: keep what came before it.
            const void* stop = std::memchr(buffer, 0x1a, got);
            if (stop != nullptr) {
                ended_ = true;
                const std::ptrdiff_t kept = static_cast<const char*>(stop) - buffer;
                return kept > 0 ? kept : -1;
            }
            return static_cast<std::ptrdiff_t>(got);
        }
        if (reader_) return reader_->take(buffer, capacity, wait);
        if (in_ == nullptr || in_ == INVALID_HANDLE_VALUE) return -1;
        if (!wait && inputKind_ != FILE_TYPE_DISK) {  // a file is always ready
            if (inputKind_ == FILE_TYPE_PIPE) {
                DWORD available = 0;
                if (::PeekNamedPipe(in_, nullptr, 0, nullptr, &available, nullptr) != 0) {
                    if (available == 0) return 0;
                    const DWORD wanted = std::min(available, size);
                    if (::ReadFile(in_, buffer, wanted, &got, nullptr) == 0 || got == 0) return -1;
                    return static_cast<std::ptrdiff_t>(got);
                }
                if (::GetLastError() == ERROR_BROKEN_PIPE) return -1;  // the writer is gone
            }
            // This input cannot say what is waiting (wine's pipes, devices):
            // from now on a thread of its own reads it and the game takes
            // what has arrived.
            reader_ = std::make_shared<BackgroundReader>(in_);
            return reader_->take(buffer, capacity, wait);
        }
        if (::ReadFile(in_, buffer, size, &got, nullptr) == 0 || got == 0) return -1;
        return static_cast<std::ptrdiff_t>(got);
    }

    // CR LF becomes LF; a CR at the end of a read waits for the next byte.
    void translate(std::string_view raw) {
        for (const char c : raw) {
            if (heldCarriageReturn_) {
                heldCarriageReturn_ = false;
                if (c != '\n') ready_.push_back('\r');
            }
            if (c == '\r') {
                heldCarriageReturn_ = true;
            } else {
                ready_.push_back(c);
            }
        }
    }

    HANDLE out_;
    HANDLE in_;
    bool outputIsConsole_;
    bool inputIsConsole_;
    DWORD inputKind_;
    bool keyMode_ = false;
    bool consoleLineOpen_ = false;
    bool heldCarriageReturn_ = false;
    bool ended_ = false;
    std::string ready_;
    std::string pending_;
    std::shared_ptr<BackgroundReader> reader_;
};

WindowsConsole& windowsConsole() {
    static WindowsConsole console;
    return console;
}

}  // namespace

Console& backEndConsole() {
    return windowsConsole();
}

}  // namespace talvoren
