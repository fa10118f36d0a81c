// The pieces every screen is built from: clearing, the frame line, lines of
// text, framed speech, the pause and the menu prompt.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace talvoren {

// The frame line: "+", 118 "-", "+". Always written without a line end.
extern const std::string ruleLine;

// An answer that was not a number counts as this choice, which no menu lists.
inline constexpr std::int32_t kNotOnAnyMenu = std::numeric_limits<std::int32_t>::min();

// Blanks the console and homes the cursor; silent where there is no console.
void clearScreen();
// Writes text as it is, with no line end.
void writeText(std::string_view text);
void writeNumber(std::int64_t number);
// Writes the text and a line end, then flushes.
void printLine(std::string_view text);
// Writes a line end and flushes.
void endLine();
void writeRuleLine();
// Speaker's name, a rule, the spoken text, a rule. No clearing, no pause.
void showDialogue(std::string_view speaker, std::string_view text);
// "Press ENTER to continue...", the prompt, then waits for one fresh Enter.
void pauseForEnter();
// Writes the prompt "> " and reads one integer; a non-number gives kNotOnAnyMenu.
std::int32_t readMenuChoice();
// The speech screen: clear, dialogue, pause.
void showSpeechScreen(std::string_view speaker, std::string_view text);

}  // namespace talvoren
