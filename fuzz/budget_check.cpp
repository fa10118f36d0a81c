// The harnesses lean on the simulated console's budget to stop every run:
// these checks make sure it does, on the real game, and that a console
// without a budget behaves as before.
#include <cstdio>
#include <string>

#include "fresh_game.h"
#include "harness_support.h"
#include "shell/shell.h"
#include "simulated_terminal.h"

namespace talvoren::fuzzing {
namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "budget check failed: %s\n", what);
    ++failures;
}

constexpr std::int64_t kHour = 60 * 60 * 1000;
// New game, a short name, the backstory and Cyrus, the notice, the first
// fight's intro, and Attack: the timing bar is filling.
constexpr std::string_view kIntoTheBar = "1\nAna\n\n\n\n\n1\n";

void startGame(Machine& machine, SimulatedTerminal::Budget budget) {
    machine.console.setBudget(budget);
    test_support::startFreshGame(machine.console, machine.clock, machine.files);
}

void pauseOutlivesTheClock() {
    Machine machine;
    SimulatedTerminal& console = machine.console;
    startGame(machine, {0, kHour, 0});
    console.type("3\n");               // the credits, which wait for Enter
    console.typeAt(10 * kHour, "\n");  // long after the budget
    check(runGame() == 0, "the game did not end with status 0 at the time budget");
    check(console.budgetSpent(), "waiting past the time budget did not spend it");
    check(machine.clock.nowMs() == kHour, "the clock ran on past the budget");
    check(console.unreadInput() == 1, "the late Enter was read");
}

void timingBarOutlivesTheClock() {
    ScratchFolderScope scratch;
    removeSaveFile();
    Machine machine;
    SimulatedTerminal& console = machine.console;
    startGame(machine, {0, kHour, 0});
    console.setInteractive(true);
    console.type(kIntoTheBar);
    console.typeAt(10 * kHour, " ");  // the space comes too late
    check(runGame() == 0, "the game did not end with status 0 in the bar");
    check(console.budgetSpent(), "a bar waiting past the budget did not spend it");
    check(machine.clock.nowMs() >= kHour && machine.clock.nowMs() < kHour + 1000,
          "the bar ran long past the budget");
    check(!console.inKeyMode(), "the bar left the console in key mode");
    check(console.transcript().find("Hit") == std::string::npos, "the bar graded a press it never saw");
    removeSaveFile();
}

void readsRunOut() {
    Machine machine;
    SimulatedTerminal& console = machine.console;
    startGame(machine, {4, 0, 0});
    for (int answer = 0; answer < 10; ++answer)
        console.typeAt(answer, "2\n1\n99\n");  // options, over and over
    check(runGame() == 0, "the game did not end with status 0 at the read budget");
    check(console.budgetSpent(), "the read budget was not spent");
    check(console.inputReads() == 5, "the game went on reading past the budget");
    check(console.unreadInput() == 6 * 7, "more answers were read than the budget allows");
}

void noBudgetChangesNothing() {
    Machine machine;
    SimulatedTerminal& console = machine.console;
    startGame(machine, {});
    console.type("3\n\n99\n");
    check(runGame() == 0, "the game did not end with status 0");
    check(!console.budgetSpent(), "a console without a budget spent one");
    check(console.outputBytes() == console.transcript().size(), "output was dropped without a budget");
}

void transcriptKeepsItsEnd() {
    Machine machine;
    SimulatedTerminal& console = machine.console;
    startGame(machine, {0, 0, 100});
    console.type("3\n\n3\n\n3\n\n99\n");
    runGame();
    const std::string& kept = console.transcript();
    check(kept.size() >= 100 && kept.size() <= 200, "the transcript is not held to its budget");
    check(kept.ends_with("[99] Exit\n> "), "the transcript lost its latest output");
    check(console.outputBytes() > 3 * kept.size(), "not all output was counted");
}

}  // namespace
}  // namespace talvoren::fuzzing

int main() {
    using namespace talvoren::fuzzing;
    pauseOutlivesTheClock();
    timingBarOutlivesTheClock();
    readsRunOut();
    noBudgetChangesNothing();
    transcriptKeepsItsEnd();
    if (failures == 0) std::puts("budget checks passed");
    return failures == 0 ? 0 : 1;
}
