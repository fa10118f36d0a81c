#include "console/text_kit.h"

#include "console/game_context.h"
#include "console/screen.h"

namespace talvoren {

const std::string ruleLine = "+" + std::string(118, '-') + "+";

void clearScreen() {
    game().screen.clear();
}

void writeText(std::string_view text) {
    game().screen.write(text);
}

void writeNumber(std::int64_t number) {
    game().screen.write(std::to_string(number));
}

void endLine() {
    game().screen.write("\n");
    game().screen.flush();
}

void printLine(std::string_view text) {
    game().screen.write(text);
    endLine();
}

void flushScreen() {
    game().screen.flush();
}

void homeCursor() {
    game().screen.home();
}

void setTextColour(TextColour colour) {
    game().screen.colour(colour);
}

void writeRuleLine() {
    game().screen.rule(ruleLine);
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
