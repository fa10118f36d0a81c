// The real game on a real terminal: menus, the timing bar in key mode, and
// the terminal given back intact however the game ends or pauses.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "pty_game.h"

namespace talvoren::terminal_testing {
namespace {

constexpr char kMainMenu[] =
    "[1] New Game\r\n[2] Options\r\n[3] Credits\r\n[4] Load Game\r\n\r\n[99] Exit\r\n> ";
constexpr char kWildernessPrompt[] = "[99] Exit Game\r\n> ";
constexpr char kTurnPrompt[] = "[1] Attack\r\n[2] Heal\r\n[99] Flee\r\n> ";
constexpr char kPausePrompt[] = "Press ENTER to continue...\r\n> ";
constexpr char kFrameStart[] = "\x1b[H[";
constexpr char kColourReset[] = "\x1b[0m";
constexpr char kShowCursor[] = "\x1b[?25h";
constexpr char kHideCursor[] = "\x1b[?25l";
constexpr char kEnterAlternateScreen[] = "\x1b[?1049h";
constexpr char kLeaveAlternateScreen[] = "\x1b[?1049l";
constexpr char kClear[] = "\x1b[H\x1b[2J";

// A hero in the first wilderness who takes next to no damage and deals
// little, so that every fight outlasts the turns a test plays.
std::string wildernessSave() {
    return "Act 1\nTester\n1\n1000\n1\n5\n0\n0\n25\n50\n0\n1\n3\n0";
}

// The bar as the terminal receives it with `filled` cells filled.
std::string frameText(int filled) {
    std::string text = kFrameStart;
    std::string current = "\x1b[0;97;40m";
    for (int cell = 0; cell < 35; ++cell) {
        const char* colour = cell < filled ? "\x1b[0;32;40m"
                             : cell < 20   ? "\x1b[0;36;40m"
                             : cell < 26   ? "\x1b[0;31;40m"
                                           : "\x1b[0;97;40m";
        if (current != colour) {
            current = colour;
            text += colour;
        }
        text += cell < filled ? ':' : '#';
    }
    if (current != "\x1b[0;97;40m") text += "\x1b[0;97;40m";
    return text + "]\r\n";
}

class TerminalGame : public ::testing::Test {
protected:
    void start(Launch launch = Launch::SessionLeader) {
        folder.write("save1.txt", wildernessSave());
        game = std::make_unique<PtyGame>(folder.path(), launch);
        ASSERT_GT(game->pid(), 0);
        ASSERT_TRUE(game->waitFor(kMainMenu, 0)) << printable(game->output());
    }

    // Answers a prompt and waits for the next one.
    void answer(std::string_view keys, std::string_view nextPrompt) {
        const std::size_t from = game->mark();
        game->send(keys);
        ASSERT_TRUE(game->waitFor(nextPrompt, from))
            << "after " << printable(keys) << ": " << printable(game->output().substr(from));
    }

    // Loads the save, heals and starts a fight; returns once the bar animates.
    void reachTheBar(Launch launch = Launch::SessionLeader) {
        ASSERT_NO_FATAL_FAILURE(start(launch));
        ASSERT_NO_FATAL_FAILURE(answer("4\r", kWildernessPrompt));
        ASSERT_NO_FATAL_FAILURE(answer("10\r", kWildernessPrompt));
        ASSERT_NO_FATAL_FAILURE(answer("1\r", kPausePrompt));  // flavour lines, then the intro
        ASSERT_NO_FATAL_FAILURE(answer("\r", kTurnPrompt));
        barStart = game->mark();
        game->send("1\r");
        ASSERT_TRUE(game->waitFor(frameText(2), barStart)) << printable(game->output().substr(barStart));
        ASSERT_TRUE(inKeyMode(game->currentSettings())) << describeSettings(game->currentSettings());
    }

    // True once two more frames of the bar have been drawn after `from`.
    bool barMovesAfter(std::size_t from) {
        if (!game->waitFor(kFrameStart, from)) return false;
        return game->waitFor(kFrameStart, game->output().find(kFrameStart, from) + 1);
    }

    // Writes one space, with no Enter: the bar must stop at once, unechoed,
    // with its grade on the line under it and the cursor shown again.
    void pressSpaceForAGrade() {
        const std::size_t from = game->mark();
        game->send(" ");
        ASSERT_TRUE(game->waitFor("You did: ", from)) << printable(game->output().substr(from));
        const std::size_t end = game->output().find("You did: ", from);
        EXPECT_EQ(game->output().substr(from, end - from).find(' '), std::string::npos)
            << "the space was echoed";
        for (const std::string grade : {"Hit", "Critical", "Miss"}) {
            const std::string underTheBar = "]\r\n" + grade + "\r\n" + kShowCursor;
            if (end >= underTheBar.size() &&
                game->output().compare(end - underTheBar.size(), underTheBar.size(), underTheBar) == 0) {
                return;
            }
        }
        ADD_FAILURE() << "no grade under the bar: " << printable(game->output().substr(from, end - from));
    }

    // Continues a stopped game: the bar must move again, in key mode.
    void resumeTheBar() {
        const std::size_t resumedAt = game->mark();
        game->signal(SIGCONT);
        const std::optional<int> status = game->waitStatus();
        ASSERT_TRUE(status.has_value() && WIFCONTINUED(*status))
            << (status ? describeStatus(*status) : "no change");
        ASSERT_TRUE(barMovesAfter(resumedAt));
        EXPECT_TRUE(inKeyMode(game->currentSettings())) << describeSettings(game->currentSettings());
    }

    void expectSettingsRestored(const char* when) {
        const termios now = game->currentSettings();
        EXPECT_TRUE(sameSettings(now, game->initialSettings()))
            << when << ": now " << describeSettings(now) << ", before "
            << describeSettings(game->initialSettings());
    }

    // Leaves the fight and the game through the menus; expects a clean exit.
    void fleeAndExit() {
        ASSERT_NO_FATAL_FAILURE(answer("\r", kTurnPrompt));
        ASSERT_NO_FATAL_FAILURE(answer("99\r", kWildernessPrompt));
        game->send("99\r");
        const std::optional<int> status = game->waitStatus();
        ASSERT_TRUE(status.has_value()) << "the game did not end";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeStatus(*status);
    }

    ScratchFolder folder;
    std::unique_ptr<PtyGame> game;
    std::size_t barStart = 0;
};

TEST_F(TerminalGame, MainMenuExitLeavesTheTerminalAsItWas) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_NE(game->output().find("\x1b]0;Talvoren -- Build v0.1.0\x07"), std::string::npos);
    game->send("99\r");
    const std::optional<int> status = game->waitStatus();
    ASSERT_TRUE(status.has_value()) << "the game did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeStatus(*status);
    expectSettingsRestored("after exit");
    // The game drew on the alternate screen and gives the shell's screen back.
    EXPECT_TRUE(game->output().starts_with(kEnterAlternateScreen)) << printable(game->output());
    EXPECT_TRUE(game->output().ends_with(std::string(kLeaveAlternateScreen) + kColourReset))
        << printable(game->output());
    EXPECT_EQ(game->output().find("\x1b[3J"), std::string::npos) << "the scrollback was erased";
    EXPECT_EQ(folder.read("save1.txt"), wildernessSave());
}

TEST_F(TerminalGame, BarAnimatesAndTheSpaceBarAloneStopsIt) {
    ASSERT_NO_FATAL_FAILURE(reachTheBar());
    const std::string& shown = game->output();
    // The screen is cleared, then each frame redraws the top line in place,
    // with the cursor hidden.
    EXPECT_LT(shown.find("\x1b[H\x1b[2J", barStart), shown.find(kHideCursor, barStart));
    EXPECT_LT(shown.find(kHideCursor, barStart), shown.find(kFrameStart, barStart));
    EXPECT_NE(shown.find(frameText(1), barStart), std::string::npos) << printable(shown.substr(barStart));

    ASSERT_NO_FATAL_FAILURE(pressSpaceForAGrade());
    ASSERT_TRUE(game->waitFor(kPausePrompt, barStart));
    expectSettingsRestored("after the bar");

    // One Enter ends the pause after the bar: the next turn follows.
    ASSERT_NO_FATAL_FAILURE(fleeAndExit());
    expectSettingsRestored("after exit");
    // The bar's colours do not outlive the game.
    EXPECT_TRUE(game->output().ends_with(kColourReset)) << printable(game->output());
}

// A signal that ends the game mid-screen must leave a usable terminal and
// the save file as it was.
class EndingSignal : public TerminalGame, public ::testing::WithParamInterface<int> {
protected:
    void expectDeathBy(int signalNumber) {
        const std::size_t from = game->mark();
        game->signal(signalNumber);
        const std::optional<int> status = game->waitStatus();
        ASSERT_TRUE(status.has_value()) << "the game did not end";
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signalNumber) << describeStatus(*status);
        expectSettingsRestored("after the signal");
        EXPECT_NE(game->output().find(std::string(kLeaveAlternateScreen) + kColourReset, from),
                  std::string::npos)
            << "shell's screen or colours not given back";
        EXPECT_EQ(folder.read("save1.txt"), wildernessSave());
        EXPECT_EQ(temporarySaves(folder), 0);
    }
};

class SignalDuringTheBar : public EndingSignal {};
class SignalAtAMenu : public EndingSignal {};

TEST_P(SignalDuringTheBar, RestoresTheTerminal) {
    ASSERT_NO_FATAL_FAILURE(reachTheBar());
    const std::size_t from = game->mark();
    expectDeathBy(GetParam());
    // The bar had hidden the cursor: the shell gets it back.
    EXPECT_NE(game->output().find(std::string(kShowCursor) + kLeaveAlternateScreen, from), std::string::npos)
        << printable(game->output().substr(from));
}

TEST_P(SignalAtAMenu, RestoresTheTerminal) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(answer("4\r", kWildernessPrompt));
    expectDeathBy(GetParam());
}

std::string signalName(const ::testing::TestParamInfo<int>& info) {
    switch (info.param) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGQUIT: return "SIGQUIT";
        default: return "signal" + std::to_string(info.param);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringTheBar, ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                         signalName);
INSTANTIATE_TEST_SUITE_P(Signals, SignalAtAMenu, ::testing::Values(SIGINT, SIGTERM), signalName);

// Ctrl-Z under a job-control shell: stopped with the terminal given back,
// and on `fg` the bar goes on in key mode.
TEST_F(TerminalGame, SuspendDuringTheBarGivesTheTerminalBackUntilResumed) {
    ASSERT_NO_FATAL_FAILURE(reachTheBar(Launch::UnderJobShell));
    game->signal(SIGTSTP);
    const std::optional<int> status = game->waitStatus();
    ASSERT_TRUE(status.has_value() && WIFSTOPPED(*status) && WSTOPSIG(*status) == SIGTSTP)
        << (status ? describeStatus(*status) : "no change");
    expectSettingsRestored("while stopped");
    game->pump(200ms);
    // Stopped, the shell has its own screen back with a visible cursor.
    const std::string atStop = game->output().substr(barStart);
    EXPECT_NE(atStop.find(std::string(kShowCursor) + kLeaveAlternateScreen), std::string::npos)
        << printable(atStop);
    const std::size_t stoppedAt = game->mark();
    game->pump(300ms);
    EXPECT_EQ(game->output().find(kFrameStart, stoppedAt), std::string::npos) << "frames while stopped";

    const std::size_t resumedAt = game->mark();
    ASSERT_NO_FATAL_FAILURE(resumeTheBar());
    // After `fg` the game's screen is drawn again, cursor hidden, before the bar goes on.
    const std::string redrawn = std::string(kEnterAlternateScreen) + "\x1b[H\x1b[2J";
    const std::size_t redrawAt = game->output().find(redrawn, resumedAt);
    ASSERT_NE(redrawAt, std::string::npos) << printable(game->output().substr(resumedAt));
    EXPECT_LT(game->output().find(kHideCursor, redrawAt), game->output().find(kFrameStart, redrawAt));

    ASSERT_NO_FATAL_FAILURE(pressSpaceForAGrade());
    ASSERT_TRUE(game->waitFor(kPausePrompt, resumedAt));
    expectSettingsRestored("after the bar");
    ASSERT_NO_FATAL_FAILURE(fleeAndExit());
    expectSettingsRestored("after exit");
}

// Ctrl-Z at a menu shows the shell's screen; `fg` draws the menu again,
// byte for byte as it was written since the screen was last cleared.
TEST_F(TerminalGame, ResumeAtAMenuDrawsItsScreenAgain) {
    ASSERT_NO_FATAL_FAILURE(start(Launch::UnderJobShell));
    ASSERT_NO_FATAL_FAILURE(answer("4\r", kWildernessPrompt));
    game->signal(SIGTSTP);
    std::optional<int> status = game->waitStatus();
    ASSERT_TRUE(status.has_value() && WIFSTOPPED(*status))
        << (status ? describeStatus(*status) : "no change");
    const std::string& out = game->output();
    const std::size_t screenStart = out.rfind(kClear) + std::strlen(kClear);
    const std::size_t stoppedAt = out.find(kLeaveAlternateScreen, screenStart);
    ASSERT_NE(stoppedAt, std::string::npos) << printable(out);
    const std::string menu = out.substr(screenStart, stoppedAt - screenStart);
    ASSERT_TRUE(menu.ends_with(kWildernessPrompt)) << printable(menu);

    const std::size_t resumedAt = game->mark();
    game->signal(SIGCONT);
    status = game->waitStatus();
    ASSERT_TRUE(status.has_value() && WIFCONTINUED(*status))
        << (status ? describeStatus(*status) : "no change");
    const std::string redrawn = std::string(kEnterAlternateScreen) + kClear + menu;
    ASSERT_TRUE(game->waitFor(redrawn, resumedAt)) << printable(game->output().substr(resumedAt));
    // The menu still takes its answer.
    game->send("99\r");
    status = game->waitStatus();
    ASSERT_TRUE(status.has_value()) << "the game did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeStatus(*status);
}

// Led by no shell, the game's process group is orphaned and the kernel
// drops the stop: the bar must simply go on, still in key mode.
TEST_F(TerminalGame, SuspendWithoutAShellLeavesTheBarRunning) {
    ASSERT_NO_FATAL_FAILURE(reachTheBar(Launch::SessionLeader));
    const std::size_t from = game->mark();
    game->signal(SIGTSTP);
    ASSERT_TRUE(barMovesAfter(from));
    ASSERT_TRUE(barMovesAfter(game->mark()));
    const std::optional<int> status = game->waitStatus(0ms);
    EXPECT_FALSE(status.has_value()) << describeStatus(status.value_or(0));
    EXPECT_TRUE(inKeyMode(game->currentSettings())) << describeSettings(game->currentSettings());
    ASSERT_NO_FATAL_FAILURE(pressSpaceForAGrade());
}

// A stop that cannot be caught (SIGSTOP) leaves key mode on; the shell then
// resets the terminal itself, and on resume the game must take key mode again.
TEST_F(TerminalGame, ResumeAfterAHardStopTakesKeyModeAgain) {
    ASSERT_NO_FATAL_FAILURE(reachTheBar(Launch::UnderJobShell));
    game->signal(SIGSTOP);
    const std::optional<int> status = game->waitStatus();
    ASSERT_TRUE(status.has_value() && WIFSTOPPED(*status))
        << (status ? describeStatus(*status) : "no change");
    game->setSettings(game->initialSettings());

    const std::size_t resumedAt = game->mark();
    ASSERT_NO_FATAL_FAILURE(resumeTheBar());
    ASSERT_NO_FATAL_FAILURE(pressSpaceForAGrade());
    ASSERT_TRUE(game->waitFor(kPausePrompt, resumedAt));
    expectSettingsRestored("after the bar");
}

}  // namespace
}  // namespace talvoren::terminal_testing
