#include "character/character_sheet.h"
#include "console/game_context.h"
#include "console/text_kit.h"
#include "persistence/save_file.h"
#include "rules/records.h"
#include "story/scenes.h"

namespace talvoren {

namespace {

void playTownMenu() {
    GameState& state = game().state;
    clearScreen();
    writeRuleLine();
    printLine("Town :: Objectives :: Speak to the Wizard");
    writeRuleLine();
    printLine("[1] Speak to the Wizard");
    printLine("[2] Heal");
    printLine("[3] Character Statistics");
    printLine("");
    printLine("[98] Save Game");
    printLine("[99] Exit Game");
    switch (readMenuChoice()) {
        case 1: state.sceneStep = 2; break;
        case 2: restoreHealth(state.player); break;
        case 3: showCharacterStats(); break;
        case 98: saveGame(state.player, state.progress()); break;
        case 99: state.actRunning = false; break;
        default: break;
    }
}

void playWizardSpeech() {
    constexpr const char* kWizard = "Dubistrum";
    showSpeechScreen(kWizard, "You must be the person looking for an adventure.");
    showSpeechScreen(kWizard, "The world is in danger and only I can save it.");
    showSpeechScreen(kWizard, "But, I'm too old and frail but you can fix that");
    showSpeechScreen(kWizard, "Fetch me a drink from the fountain of youth to restore my youth");
    showSpeechScreen(kWizard, "If you are successful, I will reward you quite generously");
    GameState& state = game().state;
    state.sceneStep = 1;
    state.actStage = code(ActStage::FirstWilderness);
}

}  // namespace

void playWizardTown() {
    GameState& state = game().state;
    if (state.sceneStep == 2) {
        playWizardSpeech();
        return;
    }
    state.sceneStep = 1;  // also mends a step from a damaged save
    playTownMenu();
}

}  // namespace talvoren
