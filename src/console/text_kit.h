// The pieces every screen is built from: clearing, the frame line, lines of
// text, framed speech, the pause and the menu prompt. Game code writes to the
// screen through these alone; they write to the running game's ScreenWriter.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/terminal.h"

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
// Sends everything written so far to the console.
void flushScreen();
// Puts the cursor at the top left, for drawing over the screen in place.
void homeCursor();
// Text written from now on has this colour.
void setTextColour(TextColour colour);
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
