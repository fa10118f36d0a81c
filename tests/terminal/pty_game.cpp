#include "pty_game.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace talvoren::terminal_testing {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void setCloseOnExec(int fd) {
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Everything the child needs, prepared before fork so that the child only
// makes async-signal-safe calls.
struct ChildPlan {
    std::string binary;
    std::string folder;
    std::vector<std::string> environment;
    std::vector<char*> argv;
    std::vector<char*> envp;

    explicit ChildPlan(const std::filesystem::path& where) : binary(gameBinary()), folder(where.string()) {
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (text.starts_with("TERM=") || text.starts_with("COLUMNS=") || text.starts_with("LINES=")) {
                continue;
            }
            environment.emplace_back(text);
        }
        environment.emplace_back("TERM=xterm");
        argv = {binary.data(), nullptr};
        for (std::string& each : environment) envp.push_back(each.data());
        envp.push_back(nullptr);
    }
};

// In the child: the terminal becomes standard input, output and error, the
// signal state is a fresh program's, and the game replaces this process.
[[noreturn]] void becomeGame(const ChildPlan& plan, int slave) {
    ::dup2(slave, STDIN_FILENO);
    ::dup2(slave, STDOUT_FILENO);
    ::dup2(slave, STDERR_FILENO);
    for (const int signalNumber :
         {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE, SIGCONT, SIGCHLD}) {
        ::signal(signalNumber, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const struct rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT must not leave core files around
    if (::chdir(plan.folder.c_str()) != 0) ::_exit(126);
    ::execve(plan.binary.c_str(), plan.argv.data(), plan.envp.data());
    ::_exit(127);
}

void takeTerminal(int slave) {
    ::setsid();
    ::ioctl(slave, TIOCSCTTY, 0);
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// In the child: a minimal interactive shell running the game as its one
// foreground job, reporting every change of the job's state on `reports`.
[[noreturn]] void runJobShell(const ChildPlan& plan, int slave, int reports) {
    takeTerminal(slave);
    int handOver[2];
    if (::pipe2(handOver, O_CLOEXEC) != 0) ::_exit(125);
    const pid_t game = ::fork();
    if (game < 0) ::_exit(125);
    if (game == 0) {
        ::setpgid(0, 0);
        char go = 0;
        while (::read(handOver[0], &go, 1) < 0 && errno == EINTR) {
        }
        becomeGame(plan, slave);
    }
    ::setpgid(game, game);
    ::signal(SIGTTOU, SIG_IGN);
    ::tcsetpgrp(slave, game);
    writeAll(handOver[1], "g", 1);  // the game starts only once it owns the terminal
    writeAll(reports, &game, sizeof game);
    for (;;) {
        int status = 0;
        if (::waitpid(game, &status, WUNTRACED | WCONTINUED) < 0) {
            if (errno == EINTR) continue;
            ::_exit(1);
        }
        writeAll(reports, &status, sizeof status);
        if (WIFEXITED(status) || WIFSIGNALED(status)) ::_exit(0);
    }
}

}  // namespace

std::string gameBinary() {
    return TALVOREN_BINARY;
}

int temporarySaves(const ScratchFolder& folder) {
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        if (entry.path().filename().string().starts_with(".save1.txt.")) ++found;
    }
    return found;
}

PtyGame::PtyGame(const std::filesystem::path& folder, Launch launch) : launch_(launch) {
    struct winsize size {};
    size.ws_row = 40;
    size.ws_col = 120;
    if (::openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) {
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    }
    setCloseOnExec(master_);
    setCloseOnExec(slave_);
    setNonBlocking(master_);
    ::tcgetattr(slave_, &initial_);

    const ChildPlan plan(folder);
    int reportPipe[2] = {-1, -1};
    if (launch_ == Launch::UnderJobShell && ::pipe2(reportPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    child_ = ::fork();
    if (child_ < 0) throw std::runtime_error("fork");
    if (child_ == 0) {
        if (launch_ == Launch::UnderJobShell) runJobShell(plan, slave_, reportPipe[1]);
        takeTerminal(slave_);
        becomeGame(plan, slave_);
    }
    if (launch_ == Launch::SessionLeader) {
        game_ = child_;
        return;
    }
    ::close(reportPipe[1]);
    reports_ = reportPipe[0];
    struct pollfd wait = {reports_, POLLIN, 0};
    pid_t game = -1;
    if (::poll(&wait, 1, static_cast<int>(kPatience.count())) == 1 &&
        ::read(reports_, &game, sizeof game) == static_cast<ssize_t>(sizeof game)) {
        game_ = game;
    }
    setNonBlocking(reports_);
}

PtyGame::~PtyGame() {
    if (!ended_ && game_ > 0) ::kill(game_, SIGKILL);
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    if (reports_ >= 0) ::close(reports_);
    ::close(master_);
    ::close(slave_);
}

termios PtyGame::currentSettings() const {
    termios now{};
    ::tcgetattr(slave_, &now);
    return now;
}

void PtyGame::setSettings(const termios& settings) const {
    ::tcsetattr(slave_, TCSANOW, &settings);
}

void PtyGame::send(std::string_view keys) const {
    writeAll(master_, keys.data(), keys.size());
}

void PtyGame::signal(int signalNumber) const {
    if (!ended_ && game_ > 0) ::kill(game_, signalNumber);
}

bool PtyGame::readOutput(int timeoutMs) {
    struct pollfd wait = {master_, POLLIN, 0};
    if (::poll(&wait, 1, timeoutMs) <= 0) return false;
    bool any = false;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(master_, chunk, sizeof chunk);
        if (got > 0) {
            output_.append(chunk, static_cast<std::size_t>(got));
            any = true;
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;
    }
    return any;
}

bool PtyGame::waitFor(std::string_view text, std::size_t from, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (from <= output_.size() && output_.find(text, from) != std::string::npos) return true;
        const int left = millisecondsLeft(deadline);
        if (left == 0) return false;
        readOutput(left < 50 ? left : 50);
    }
}

void PtyGame::pump(std::chrono::milliseconds time) {
    const auto deadline = Clock::now() + time;
    while (millisecondsLeft(deadline) > 0) readOutput(millisecondsLeft(deadline));
}

std::optional<int> PtyGame::takeStatus(bool block, int timeoutMs) {
    if (launch_ == Launch::SessionLeader) {
        int status = 0;
        if (::waitpid(game_, &status, WNOHANG | WUNTRACED | WCONTINUED) == game_) return status;
        if (block) readOutput(timeoutMs);
        return std::nullopt;
    }
    struct pollfd wait[2] = {{reports_, POLLIN, 0}, {master_, POLLIN, 0}};
    if (block) ::poll(wait, 2, timeoutMs);
    int status = 0;
    if (::read(reports_, &status, sizeof status) == static_cast<ssize_t>(sizeof status)) return status;
    readOutput(0);
    return std::nullopt;
}

std::optional<int> PtyGame::waitStatus(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::optional<int> status = takeStatus(true, std::min(millisecondsLeft(deadline), 20));
        if (status) {
            if (WIFEXITED(*status) || WIFSIGNALED(*status)) ended_ = true;
            readOutput(0);  // whatever the game wrote last
            return status;
        }
        if (millisecondsLeft(deadline) == 0) return std::nullopt;
    }
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

bool inKeyMode(const termios& settings) {
    return (settings.c_lflag & (ICANON | ECHO)) == 0;
}

std::string describeSettings(const termios& settings) {
    std::ostringstream text;
    text << "lflag=0x" << std::hex << settings.c_lflag << " iflag=0x" << settings.c_iflag << " oflag=0x"
         << settings.c_oflag << std::dec << ((settings.c_lflag & ICANON) != 0 ? " ICANON" : " -ICANON")
         << ((settings.c_lflag & ECHO) != 0 ? " ECHO" : " -ECHO")
         << " VMIN=" << static_cast<int>(settings.c_cc[VMIN]);
    return text.str();
}

std::string printable(std::string_view text, std::size_t keep) {
    std::string shown = text.size() > keep ? "..." : "";
    if (text.size() > keep) text.remove_prefix(text.size() - keep);
    for (const char c : text) {
        switch (c) {
            case '\x1b': shown += "\\e"; break;
            case '\r': shown += "\\r"; break;
            case '\n': shown += "\\n\n"; break;
            case '\a': shown += "\\a"; break;
            default: shown += c; break;
        }
    }
    return shown;
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) +
               ")";
    }
    if (WIFSTOPPED(status)) return "stopped by signal " + std::to_string(WSTOPSIG(status));
    if (WIFCONTINUED(status)) return "continued";
    return "status " + std::to_string(status);
}

}  // namespace talvoren::terminal_testing
