#include "console/text_kit.h"
#include "rules/records.h"
#include "shell/shell.h"

namespace talvoren {

void showOptions() {
    clearScreen();
    printLine(backstoryEnabled ? "[1] Disable Backstory" : "[1] Enable Backstory");
    printLine(tutorialEnabled ? "[2] Disable Tutorial" : "[2] Enable Tutorial");
    printLine("[99] Exit");
    switch (readMenuChoice()) {
        case 1: backstoryEnabled = !backstoryEnabled; break;
        case 2: tutorialEnabled = !tutorialEnabled; break;
        case 99: currentScreen = code(Screen::MainMenu); break;
        default: break;
    }
}

}  // namespace talvoren
