// The timing bar that grades every attack and heal.
#pragma once

#include <cstdint>

#include "platform/terminal.h"
#include "rules/grade.h"

namespace talvoren {

inline constexpr std::int32_t kBarCells = 35;
inline constexpr std::int64_t kBarFrameMs = 50;

// The colour of cell `index` (0 to 34) when `filled` cells are filled.
TextColour cellColour(std::int32_t index, std::int32_t filled);
// The character of cell `index`: ":" when filled, "#" when not.
char cellCharacter(std::int32_t index, std::int32_t filled);

// The time the bar's cadence counts from, after `framesDrawn` frames: the
// bar's start, unless the next frame is already more than a frame overdue,
// in which case the cadence restarts so that the next frame is drawn now.
std::int64_t nextFrameStart(std::int64_t start, std::int64_t framesDrawn, std::int64_t now);

// Animates the bar on the top line until the space bar is pressed, prints
// the grade's text under it and returns the grade. Frames follow a steady
// 50 ms cadence from the bar's start. Leaves the terminal's own default
// colour in force, however the bar is left.
Grade runTimingBar();

}  // namespace talvoren
