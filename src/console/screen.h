// Game text on its way to the console. On a console it is fitted to the
// width read at every clear (word wrap, frame lines alone on their row);
// anywhere else (a pipe, a file) it passes byte for byte.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace talvoren {

// Writes game text, fitted to the console's rows.
void screenWrite(std::string_view text);
// Writes text exactly as it is (a picture), keeping track of the cursor.
void screenWriteAsIs(std::string_view text);
// Writes the frame line `rule` ("+", dashes, "+"): as it is, with no line
// end, without a console; on a console cut to its width when narrower, alone
// on its row.
void screenRule(std::string_view rule);
// Sends everything written so far to the console.
void screenFlush();
// Clears the console and reads its width afresh for the new screen.
void screenClear();
void screenHome();
void screenColour(TextColour colour);
// A person typed a line and the console echoed its line end: the cursor is
// back at the start of a row.
void screenLineEndEchoed();

}  // namespace talvoren
