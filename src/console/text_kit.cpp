#include "console/text_kit.h"

#include "console/input.h"
#include "platform/platform.h"

namespace talvoren {

const std::string ruleLine = "+" + std::string(118, '-') + "+";

void clearScreen() {
    platform().clearScreen();
}

void writeText(std::string_view text) {
    platform().write(text);
}

void writeNumber(std::int64_t number) {
    platform().write(std::to_string(number));
}

void endLine() {
    platform().write("\n");
    platform().flush();
}

void printLine(std::string_view text) {
    platform().write(text);
    endLine();
}

void writeRuleLine() {
    platform().write(ruleLine);
}

void showDialogue(std::string_view speaker, std::string_view text) {
    printLine(speaker);
    writeRuleLine();
    printLine(text);
    writeRuleLine();
}

void pauseForEnter() {
    printLine("Press ENTER to continue...");
    writeText("> ");
    InputSource& input = gameInput();
    input.dropRestOfStartedLine();
    input.readOneCharacter();
}

std::int32_t readMenuChoice() {
    writeText("> ");
    return gameInput().readMenuNumber().value_or(kNotOnAnyMenu);
}

void showSpeechScreen(std::string_view speaker, std::string_view text) {
    clearScreen();
    showDialogue(speaker, text);
    pauseForEnter();
}

}  // namespace talvoren
