#include "console/text_kit.h"

#include "console/game_context.h"
#include "console/screen.h"

namespace talvoren {

const std::string ruleLine = "+" + std::string(118, '-') + "+";

void clearScreen() {
    screenClear();
}

void writeText(std::string_view text) {
    screenWrite(text);
}

void writeNumber(std::int64_t number) {
    screenWrite(std::to_string(number));
}

void endLine() {
    screenWrite("\n");
    screenFlush();
}

void printLine(std::string_view text) {
    screenWrite(text);
    endLine();
}

void writeRuleLine() {
    screenRule(ruleLine);
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
    InputSource& input = game().input;
    input.dropRestOfStartedLine();
    input.readOneCharacter();
}

std::int32_t readMenuChoice() {
    writeText("> ");
    return game().input.readMenuNumber().value_or(kNotOnAnyMenu);
}

void showSpeechScreen(std::string_view speaker, std::string_view text) {
    clearScreen();
    showDialogue(speaker, text);
    pauseForEnter();
}

}  // namespace talvoren
