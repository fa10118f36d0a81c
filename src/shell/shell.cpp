#include "shell/shell.h"

#include "console/game_context.h"
#include "console/input.h"
#include "console/screen.h"
#include "rules/records.h"

namespace talvoren {

namespace {

constexpr int kWindowWidth = 1000;
constexpr int kWindowHeight = 500;

void continueLoadedGame() {
    player.name = loadedPlayer.name;
    player.level = loadedPlayer.level;
    player.strength = loadedPlayer.strength;
    player.intelligence = loadedPlayer.intelligence;
    player.agility = loadedPlayer.agility;
    player.gold = loadedPlayer.gold;
    player.experience = loadedPlayer.experience;
    player.experienceToNext = loadedPlayer.experienceToNext;
    player.experienceStep = loadedPlayer.experienceStep;
    player.skillPoints = loadedPlayer.skillPoints;
    actStage = loadedProgress.actStage;
    sceneStep = loadedProgress.sceneStep;
    questCounter = loadedProgress.questCounter;
    runActOne(player.name);
}

}  // namespace

void runShell() {
    currentScreen = code(Screen::MainMenu);
    gameRunning = true;
    backstoryEnabled = true;
    tutorialEnabled = true;
    game().terminal.requestWindowSize(kWindowWidth, kWindowHeight);
    game().terminal.setTitle(kWindowTitle);
    while (gameRunning) {
        switch (static_cast<Screen>(currentScreen)) {
            case Screen::MainMenu: showMainMenu(); break;
            case Screen::NewGame: startNewGame(); break;
            case Screen::Options: showOptions(); break;
            case Screen::ActForNewHero:
                runActOne(loadedPlayer.name);
                gameRunning = false;
                break;
            case Screen::ActForLoadedGame:
                continueLoadedGame();
                gameRunning = false;
                break;
            default: gameRunning = false; break;  // no such screen: nothing would ever read
        }
    }
}

int runGame() {
    try {
        runShell();
    } catch (const EndOfInput&) {
        // Input is gone: stop here, saving nothing.
    }
    screenFlush();
    return 0;
}

}  // namespace talvoren
