#include "shell/shell.h"

#include "console/game_context.h"
#include "console/input.h"
#include "console/text_kit.h"
#include "rules/records.h"

namespace talvoren {

namespace {

constexpr int kWindowWidth = 1000;
constexpr int kWindowHeight = 500;

// Puts the fields a save holds (the name and the numbers) from `saved` on
// `hero`; health, damage and the last blow stay the hero's own.
void takeSavedFields(Player& hero, const Player& saved) {
    hero.name = saved.name;
    hero.level = saved.level;
    hero.strength = saved.strength;
    hero.intelligence = saved.intelligence;
    hero.agility = saved.agility;
    hero.gold = saved.gold;
    hero.experience = saved.experience;
    hero.experienceToNext = saved.experienceToNext;
    hero.experienceStep = saved.experienceStep;
    hero.skillPoints = saved.skillPoints;
}

void continueLoadedGame() {
    GameState& state = game().state;
    takeSavedFields(state.player, state.loadedPlayer);
    state.setProgress(state.loadedProgress);
    runActOne(state.player.name);
}

}  // namespace

void runShell() {
    GameState& state = game().state;
    state.currentScreen = code(Screen::MainMenu);
    state.gameRunning = true;
    state.backstoryEnabled = true;
    state.tutorialEnabled = true;
    game().terminal.requestWindowSize(kWindowWidth, kWindowHeight);
    game().terminal.setTitle(kWindowTitle);
    while (state.gameRunning) {
        switch (static_cast<Screen>(state.currentScreen)) {
            case Screen::MainMenu: showMainMenu(); break;
            case Screen::NewGame: startNewGame(); break;
            case Screen::Options: showOptions(); break;
            case Screen::ActForNewHero:
                runActOne(state.loadedPlayer.name);
                state.gameRunning = false;
                break;
            case Screen::ActForLoadedGame:
                continueLoadedGame();
                state.gameRunning = false;
                break;
            default: state.gameRunning = false; break;  // no such screen: nothing would ever read
        }
    }
}

int runGame() {
    try {
        runShell();
    } catch (const EndOfInput&) {
        // Input is gone: stop here, saving nothing.
    }
    flushScreen();
    return 0;
}

}  // namespace talvoren
