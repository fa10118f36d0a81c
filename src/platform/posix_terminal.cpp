// The POSIX back end: ANSI/xterm escape sequences on a terminal, plain text
// everywhere else, termios key mode for the timing bar, and signal handlers
// that always give the player back a working terminal.
//
// On a terminal the game draws on the alternate screen, as full-screen
// programs do, so the player's shell screen and scrollback come back intact
// when it ends or is stopped; after `fg` the game's screen is drawn again
// from what was written since the last clear.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): POSIX sigaction, sigprocmask
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>  // NOLINT(modernize-deprecated-headers): POSIX clock_gettime, nanosleep
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ansi_writer.h"
#include "platform/back_end.h"

namespace talvoren {

// The dice are seeded from the calendar second: a 32-bit time_t would make
// time() fail from January 2038 (the build asks glibc for 64 bits).
static_assert(sizeof(time_t) >= 8, "calendar seconds need a 64-bit time_t");

namespace {

constexpr char kResetColours[] = "\x1b[0m";
constexpr char kEnterAlternateScreen[] = "\x1b[?1049h";
constexpr char kLeaveAlternateScreen[] = "\x1b[?1049l";
// What is kept of a screen for drawing it again: enough for any terminal.
constexpr std::size_t kScreenLogLimit = std::size_t{64} * 1024;

// Shared with the signal handlers, so plain globals of async-safe types.
volatile sig_atomic_t keyModeActive = 0;
volatile sig_atomic_t escapesEnabled = 0;
volatile sig_atomic_t cursorHidden = 0;
volatile sig_atomic_t onAlternateScreen = 0;
volatile sig_atomic_t insideStopHandler = 0;
struct termios savedTermios;
struct termios keyModeTermios;

// What the terminal shows since the last clear: the colour in force at the
// clear, then every byte written after it. While the game writes to the
// terminal and adds to the log, `busy` is set; a handler that finds it busy
// leaves the redraw to the game, which does it as soon as it is done.
struct ScreenLog {
    std::string colourAtClear;
    std::string text;
    volatile sig_atomic_t busy = 0;
    volatile sig_atomic_t redrawOwed = 0;
};
ScreenLog screenLog;

void writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                struct pollfd out = {fd, POLLOUT, 0};
                ::poll(&out, 1, 100);
                continue;
            }
            return;  // output closed: the game goes on without it
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
}

void writeText(const char* text) {
    writeAll(STDOUT_FILENO, text, std::strlen(text));
}

void restoreTerminalFromSignal() {
    if (keyModeActive != 0) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTermios);
    if (escapesEnabled == 0) return;
    if (cursorHidden != 0) writeText(ansi::kShowCursor);
    if (onAlternateScreen != 0) writeText(kLeaveAlternateScreen);
    writeText(kResetColours);
}

// Back on the alternate screen with the game's screen as it was.
// Async-signal-safe: only writes, and only of a log nobody is changing.
void redrawScreen() {
    if (escapesEnabled == 0 || onAlternateScreen == 0) return;
    if (screenLog.busy != 0) {
        // The rest of the game's write must not land on the shell's screen.
        writeText(kEnterAlternateScreen);
        screenLog.redrawOwed = 1;
        return;
    }
    std::atomic_signal_fence(std::memory_order_acquire);
    writeText(kEnterAlternateScreen);
    writeText(ansi::kClear);
    writeAll(STDOUT_FILENO, screenLog.colourAtClear.data(), screenLog.colourAtClear.size());
    writeAll(STDOUT_FILENO, screenLog.text.data(), screenLog.text.size());
    if (cursorHidden != 0) writeText(ansi::kHideCursor);
}

void onTerminatingSignal(int signalNumber) {
    restoreTerminalFromSignal();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void onStopSignal(int signalNumber) {
    const int savedErrno = errno;
    insideStopHandler = 1;
    restoreTerminalFromSignal();
    ::signal(signalNumber, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signalNumber);
    ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    ::raise(signalNumber);  // stops here until SIGCONT
    struct sigaction again {};
    again.sa_handler = onStopSignal;
    sigemptyset(&again.sa_mask);
    again.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &again, nullptr);
    if (keyModeActive != 0) ::tcsetattr(STDIN_FILENO, TCSANOW, &keyModeTermios);
    redrawScreen();
    insideStopHandler = 0;
    errno = savedErrno;
}

// Back in the foreground after any stop, SIGSTOP included, which no handler
// sees: the shell has reset the terminal and may have written on the screen
// meanwhile, so the bar takes key mode again and the screen is drawn again.
void onContinue(int) {
    if (insideStopHandler != 0) return;  // the stop handler does it as it returns
    const int savedErrno = errno;
    if (keyModeActive != 0) ::tcsetattr(STDIN_FILENO, TCSANOW, &keyModeTermios);
    redrawScreen();
    errno = savedErrno;
}

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT};

// Holds the handlers off while key mode changes, so that none of them runs
// between the terminal's change and the flag's.
class HandlersHeld {
public:
    HandlersHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signalNumber : kHandledSignals) sigaddset(&held, signalNumber);
        ::sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~HandlersHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    HandlersHeld(const HandlersHeld&) = delete;
    HandlersHeld& operator=(const HandlersHeld&) = delete;

private:
    sigset_t previous_;
};

void installHandler(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

bool terminalWantsEscapes() {
    if (::isatty(STDOUT_FILENO) == 0) return false;
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

// The terminal and the clock are one: a pause shows what was written first.
class PosixTerminal final : public Console {
public:
    PosixTerminal()
        : escapes_(terminalWantsEscapes()),
          interactive_(::isatty(STDIN_FILENO) != 0),
          encoding_(encodingOfEnvironment()),
          out_([this](const AnsiOutput& output) { send(output); }) {
        escapesEnabled = escapes_ ? 1 : 0;
        ::signal(SIGPIPE, SIG_IGN);
        if (escapes_ || interactive_) {
            installHandler(SIGINT, onTerminatingSignal);
            installHandler(SIGTERM, onTerminatingSignal);
            installHandler(SIGHUP, onTerminatingSignal);
            installHandler(SIGQUIT, onTerminatingSignal);
            installHandler(SIGTSTP, onStopSignal);
            installHandler(SIGCONT, onContinue);
        }
        if (escapes_) {
            const HandlersHeld held;
            writeText(kEnterAlternateScreen);
            onAlternateScreen = 1;
        }
    }

    ~PosixTerminal() override {
        leaveKeyMode();
        setCursorVisible(true);
        flush();
        if (!escapes_) return;
        const HandlersHeld held;
        writeText(kLeaveAlternateScreen);
        onAlternateScreen = 0;
        writeText(kResetColours);
    }

    PosixTerminal(const PosixTerminal&) = delete;
    PosixTerminal& operator=(const PosixTerminal&) = delete;

    // Text always goes out; control sequences only to a terminal that takes them.
    void write(std::string_view text) override { out_.write(text); }

    void flush() override { out_.flush(); }

    // Only the screen is cleared: the player's scrollback belongs to the shell.
    void clearScreen() override {
        if (escapes_) out_.clearScreen();
    }

    void setTextColour(TextColour colour) override {
        if (escapes_) out_.setTextColour(colour);
    }

    void homeCursor() override {
        if (escapes_) out_.homeCursor();
    }

    // As the locale says, read once: the terminal's own encoding cannot be asked.
    TextEncoding textEncoding() override { return encoding_; }

    bool outputIsConsole() override { return ::isatty(STDOUT_FILENO) != 0; }

    std::optional<int> width() override {
        if (::isatty(STDOUT_FILENO) == 0) return std::nullopt;
        struct winsize size {};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return std::nullopt;
        return static_cast<int>(size.ws_col);
    }

    void setCursorVisible(bool visible) override {
        if (!escapes_ || (cursorHidden == 0) == visible) return;
        // A signal in between may show the cursor once too often, never too few times.
        if (!visible) cursorHidden = 1;
        out_.setCursorVisible(visible);
        if (visible) cursorHidden = 0;
    }

    void setTitle(std::string_view title) override {
        if (escapes_) out_.setTitle(title);
    }

    void requestWindowSize(int widthPixels, int heightPixels) override {
        if (escapes_) out_.requestWindowSize(widthPixels, heightPixels);
    }

    void sleepMs(std::int64_t milliseconds) override {
        if (milliseconds <= 0) return;
        flush();
        struct timespec rest {
            static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L
        };
        while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
        }
    }

    std::int64_t calendarSeconds() override { return static_cast<std::int64_t>(::time(nullptr)); }

    std::int64_t steadyMs() override {
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }

    std::ptrdiff_t readInput(char* buffer, std::size_t capacity, bool wait) override {
        for (;;) {
            if (!wait) {
                struct pollfd in = {STDIN_FILENO, POLLIN, 0};
                const int ready = ::poll(&in, 1, 0);
                if (ready < 0 && errno == EINTR) continue;
                if (ready <= 0) return 0;
                if ((in.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return 0;
            }
            const ssize_t got = ::read(STDIN_FILENO, buffer, capacity);
            if (got > 0) return got;
            if (got == 0) return -1;
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return 0;
            return -1;
        }
    }

    bool inputIsInteractive() override { return interactive_; }

    void enterKeyMode() override {
        if (!interactive_ || keyModeActive != 0) return;
        const HandlersHeld held;
        if (::tcgetattr(STDIN_FILENO, &savedTermios) != 0) return;
        keyModeTermios = savedTermios;
        keyModeTermios.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        keyModeTermios.c_cc[VMIN] = 1;
        keyModeTermios.c_cc[VTIME] = 0;
        keyModeActive = 1;
        if (::tcsetattr(STDIN_FILENO, TCSANOW, &keyModeTermios) != 0) keyModeActive = 0;
    }

    void leaveKeyMode() override {
        if (keyModeActive == 0) return;
        const HandlersHeld held;
        ::tcflush(STDIN_FILENO, TCIFLUSH);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTermios);
        keyModeActive = 0;
    }

private:
    void send(const AnsiOutput& output) {
        if (escapes_) {
            writeAndKeepForRedraw(output);
        } else {
            writeAll(STDOUT_FILENO, output.bytes.data(), output.bytes.size());
        }
    }

    // Writes the output and adds it to the log of the screen, the handlers
    // being told to keep off meanwhile: a stop that comes between the write
    // and the log would otherwise redraw the screen without it.
    static void writeAndKeepForRedraw(const AnsiOutput& output) {
        screenLog.busy = 1;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        writeAll(STDOUT_FILENO, output.bytes.data(), output.bytes.size());
        if (output.cleared) {
            screenLog.colourAtClear = output.colourAtClear;
            screenLog.text = output.afterClear;
        } else {
            screenLog.text += output.bytes;
        }
        if (screenLog.text.size() > 2 * kScreenLogLimit) {
            // Only the latest rows can be on screen; keep them from a row's start.
            const std::size_t rowStart = screenLog.text.find('\n', screenLog.text.size() - kScreenLogLimit);
            screenLog.text.erase(0, rowStart == std::string::npos ? 0 : rowStart + 1);
        }
        std::atomic_signal_fence(std::memory_order_seq_cst);
        screenLog.busy = 0;
        if (screenLog.redrawOwed != 0) {
            screenLog.redrawOwed = 0;
            redrawScreen();
        }
    }

    bool escapes_;
    bool interactive_;
    TextEncoding encoding_;
    AnsiWriter out_;
};

PosixTerminal& posixTerminal() {
    static PosixTerminal terminal;
    return terminal;
}

}  // namespace

Console& backEndConsole() {
    return posixTerminal();
}

}  // namespace talvoren
