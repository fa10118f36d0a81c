#include "character/character_sheet.h"

#include "console/shown_name.h"
#include "console/text_kit.h"
#include "rules/arithmetic.h"
#include "rules/records.h"

namespace talvoren {

namespace {

void writeStatLine(std::string_view label, std::int32_t value) {
    writeText(label);
    writeNumber(value);
    endLine();
}

void writeSpendOption(std::string_view label, std::int32_t value) {
    writeText(label);
    writeNumber(value);
    writeText("-");
    endLine();
}

void raise(std::int32_t& attribute) {
    attribute = saturatingAdd(attribute, 1);
    player.skillPoints = saturatingAdd(player.skillPoints, -1);
}

}  // namespace

void printExperienceLine() {
    writeText("XP [");
    writeNumber(player.experience);
    writeText("/");
    writeNumber(player.experienceToNext);
    writeText("]");
    endLine();
}

void showCharacterStats() {
    clearScreen();
    writeRuleLine();
    printLine(shownName(player.name));
    writeStatLine("Gold ", player.gold);
    writeStatLine("Level ", player.level);
    printExperienceLine();
    writeStatLine("Gold ", player.gold);
    writeStatLine("Strength ", player.strength);
    writeStatLine("Intelligence ", player.intelligence);
    writeStatLine("Agility ", player.agility);
    writeRuleLine();
    if (player.skillPoints >= 1) {
        writeText("[1] You have ");
        writeNumber(player.skillPoints);
        writeText(" skill points unassigned");
        endLine();
    }
    printLine("[99] Exit");
    if (readMenuChoice() == 1) spendSkillPoints();
}

void spendSkillPoints() {
    while (player.skillPoints > 0) {
        clearScreen();
        writeText("You have ");
        writeNumber(player.skillPoints);
        writeText(" skill points remaining");
        endLine();
        writeSpendOption("[1] Strength -", player.strength);
        writeSpendOption("[2] Intelligence -", player.intelligence);
        writeSpendOption("[3] Agility -", player.agility);
        switch (readMenuChoice()) {
            case 1: raise(player.strength); break;
            case 2: raise(player.intelligence); break;
            case 3: raise(player.agility); break;
            default: break;
        }
    }
}

}  // namespace talvoren
