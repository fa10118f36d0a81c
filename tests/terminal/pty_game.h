// Runs the real game binary on a real pseudo-terminal, the way a player's
// terminal emulator would, and watches what it writes and how it ends.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "scratch_folder.h"

namespace talvoren::terminal_testing {

using namespace std::chrono_literals;

// How long to wait for anything the game should do. Generous: the machine
// may be busy with other builds, and sanitizer builds start slowly.
inline constexpr std::chrono::milliseconds kPatience = 20s;

// Path of the game binary under test.
std::string gameBinary();

using test_support::ScratchFolder;

// Temporary save files left in `folder` (hidden, named ".save1.txt.*").
int temporarySaves(const ScratchFolder& folder);

// How the game is started on the terminal.
enum class Launch {
    // The game leads its own session, as under `forkpty`. Its process group
    // is then orphaned, so the kernel drops stop signals it raises itself.
    SessionLeader,
    // A small job-control shell leads the session and puts the game in a
    // foreground process group of its own, as an interactive shell does.
    UnderJobShell,
};

class PtyGame {
public:
    PtyGame(const std::filesystem::path& folder, Launch launch = Launch::SessionLeader);
    ~PtyGame();
    PtyGame(const PtyGame&) = delete;
    PtyGame& operator=(const PtyGame&) = delete;

    pid_t pid() const { return game_; }
    // Terminal settings as they were before the game started.
    const termios& initialSettings() const { return initial_; }
    // Terminal settings now, read on the terminal's own side.
    termios currentSettings() const;
    // Overwrites the terminal settings, as a shell does when it takes the
    // terminal back from a stopped job.
    void setSettings(const termios& settings) const;

    // Types keys at the terminal.
    void send(std::string_view keys) const;
    void signal(int signalNumber) const;

    // Everything the game wrote so far.
    const std::string& output() const { return output_; }
    // Position in the output from which later waits look.
    std::size_t mark() const { return output_.size(); }
    // Reads output until `text` appears at or after `from`; false on time-out.
    bool waitFor(std::string_view text, std::size_t from, std::chrono::milliseconds timeout = kPatience);
    // Reads output for the given time.
    void pump(std::chrono::milliseconds time);

    // Waits for the next change of the game's state (stopped, continued,
    // exited or killed) and returns its wait status; nullopt on time-out.
    std::optional<int> waitStatus(std::chrono::milliseconds timeout = kPatience);

private:
    bool readOutput(int timeoutMs);
    std::optional<int> takeStatus(bool block, int timeoutMs);

    Launch launch_;
    int master_ = -1;
    int slave_ = -1;
    int reports_ = -1;  // job shell's reports: the game's pid, then each wait status
    pid_t child_ = -1;  // the game itself, or the job shell
    pid_t game_ = -1;
    bool ended_ = false;
    termios initial_{};
    std::string output_;
};

bool sameSettings(const termios& a, const termios& b);
// The flags that matter to a player, for failure messages.
std::string describeSettings(const termios& settings);
bool inKeyMode(const termios& settings);

// Terminal output made readable in a failure message: escapes and line ends
// shown as text, and only the last `keep` characters.
std::string printable(std::string_view text, std::size_t keep = 1500);

// A readable description of a wait status.
std::string describeStatus(int status);

}  // namespace talvoren::terminal_testing
