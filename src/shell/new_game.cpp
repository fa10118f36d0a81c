#include "console/game_context.h"
#include "console/shown_name.h"
#include "console/text_kit.h"
#include "rules/records.h"
#include "shell/shell.h"

namespace talvoren {

namespace {

void tellBackstory() {
    clearScreen();
    printLine(
        "Humanity as we know, is in danger. All the peaceful creatures have been driven mad by "
        "this power crystal.");
    printLine("The power crystal can only be destroyed by magic, but wizards are extinct... Except one...");
    printLine(
        "Dubistrum, the only wizard still left alive... But he is too old and frail, but there is a "
        "way to evade it.");
    printLine(
        "There is a legend but has been reported true, the Fountain of Youth, will renew anyone's "
        "youth upon drinking");
    printLine(
        "The old wizard has requested that if anybody will retrieve him a drink from this fountain "
        "will be rewarded.");
    writeText("You, ");
    writeText(shownName(game().state.loadedPlayer.name));
    writeText(" are very eager to help the wizard and save humanity as a whole");
    endLine();
    printLine(
        "But there is a tale about the Fountain of Youth, that anyone who drinks from it is... uh... "
        "I forget the tale...");
    pauseForEnter();
}

}  // namespace

void startNewGame() {
    clearScreen();
    showDialogue("Cyrus", "Hello Traveller!\nWhat is your name?\n** SPACES ARE NOT ALLOWED **");
    writeText("> ");
    GameState& state = game().state;
    state.loadedPlayer.name = game().input.readWord();
    if (state.backstoryEnabled) tellBackstory();
    showSpeechScreen("Cyrus",
                     "Dubistrum has been waiting for you!\nHe is in the next town over, about 5 "
                     "miles away.");
    state.currentScreen = code(Screen::ActForNewHero);
}

}  // namespace talvoren
