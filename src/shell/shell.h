// The program's top level: the screen loop, the main menu, new game,
// options and the Act 1 driver.
#pragma once

#include <string>

namespace talvoren {

// The window title; the build supplies TALVOREN_VERSION, the project's one version.
inline constexpr const char* kWindowTitle = "Talvoren -- Build v" TALVOREN_VERSION;

// Runs the whole game on the current platform and returns the exit status.
// The end of input ends it cleanly, with status 0 and nothing saved.
int runGame();

// Prepares the window and runs one screen after another while gameRunning.
void runShell();
// One pass of the main menu.
void showMainMenu();
// The name prompt, the backstory and Cyrus' speech; ends on Screen::ActForNewHero.
void startNewGame();
// One pass of the options screen.
void showOptions();
// Runs Act 1 for the named hero until actRunning is cleared.
void runActOne(std::string name);

}  // namespace talvoren
