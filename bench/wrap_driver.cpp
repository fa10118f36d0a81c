// Times the text kit fitting a long speech screen to a console of 80
// columns, against the same screen passed through unfitted (output that is
// not a console): `wrap_driver` prints both, in microseconds per screen.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "console/text_kit.h"
#include "fresh_game.h"
#include "simulated_files.h"
#include "simulated_terminal.h"

namespace {

// A speech as long as the backstory, in one framed block.
std::string longSpeech() {
    std::string text;
    for (int line = 0; line < 7; ++line) {
        text +=
            "There is a legend but has been reported true, the Fountain of Youth, will renew anyone's youth "
            "upon drinking\n";
    }
    return text;
}

double microsecondsPerScreen(std::optional<int> width, const std::string& speech) {
    talvoren::SimulatedClock clock;
    talvoren::SimulatedTerminal console(clock);
    talvoren::SimulatedFiles files;
    console.setConsoleWidth(width);
    talvoren::test_support::FreshGame game(console, clock, files);
    constexpr int kScreens = 2000;
    std::vector<double> batches;
    for (int batch = 0; batch < 7; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        for (int screen = 0; screen < kScreens; ++screen) {
            talvoren::clearScreen();
            talvoren::showDialogue("Cyrus", speech);
            console.clearTranscript();
        }
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        batches.push_back(spent.count() / kScreens);
    }
    std::sort(batches.begin(), batches.end());
    return batches[batches.size() / 2];
}

}  // namespace

int main() {
    const std::string speech = longSpeech();
    const double fitted = microsecondsPerScreen(80, speech);
    const double unfitted = microsecondsPerScreen(std::nullopt, speech);
    std::printf("%zu %.3f %.3f\n", speech.size(), fitted, unfitted);
    return 0;
}
