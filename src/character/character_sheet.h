// The hero's character sheet and the spending of skill points.
#pragma once

namespace talvoren {

// Draws the sheet, reads one choice; 1 spends the skill points, anything
// else returns at once. The sheet is not drawn again.
void showCharacterStats();
// Writes "XP [experience/experienceToNext]" and a line end.
void printExperienceLine();
// Spends every skill point, one per valid choice; returns at once when there
// are none. A choice other than 1, 2 or 3 changes nothing.
void spendSkillPoints();

}  // namespace talvoren
