#include "console/game_context.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "rules/records.h"
#include "shell/shell.h"

namespace talvoren {

namespace {

void showCredits() {
    clearScreen();
    printLine("Programmer: Mara Lindqvist");
    printLine("Story Idear: Tobias Renn");
    printLine("Game Tester: Ines Okafor");
    pauseForEnter();
}

}  // namespace

void showMainMenu() {
    clearScreen();
    printLine("[1] New Game");
    printLine("[2] Options");
    printLine("[3] Credits");
    printLine("[4] Load Game");
    printLine("");
    printLine("[99] Exit");
    switch (readMenuChoice()) {
        case 1: game().state.currentScreen = code(Screen::NewGame); break;
        case 2: game().state.currentScreen = code(Screen::Options); break;
        case 3: showCredits(); break;
        case 4: loadGame(); break;
        case 99: game().state.gameRunning = false; break;
        default: break;
    }
}

}  // namespace talvoren
