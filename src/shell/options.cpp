#include "console/game_context.h"
#include "console/text_kit.h"
#include "rules/records.h"
#include "shell/shell.h"

namespace talvoren {

void showOptions() {
    GameState& state = game().state;
    clearScreen();
    printLine(state.backstoryEnabled ? "[1] Disable Backstory" : "[1] Enable Backstory");
    printLine(state.tutorialEnabled ? "[2] Disable Tutorial" : "[2] Enable Tutorial");
    printLine("[99] Exit");
    switch (readMenuChoice()) {
        case 1: state.backstoryEnabled = !state.backstoryEnabled; break;
        case 2: state.tutorialEnabled = !state.tutorialEnabled; break;
        case 99: state.currentScreen = code(Screen::MainMenu); break;
        default: break;
    }
}

}  // namespace talvoren
