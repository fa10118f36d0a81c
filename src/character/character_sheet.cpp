#include "character/character_sheet.h"

#include "console/game_context.h"
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

void raise(Player& hero, std::int32_t& attribute) {
    attribute = saturatingAdd(attribute, 1);
    hero.skillPoints = saturatingAdd(hero.skillPoints, -1);
}

}  // namespace

void printExperienceLine() {
    const Player& player = game().state.player;
    writeText("XP [");
    writeNumber(player.experience);
    writeText("/");
    writeNumber(player.experienceToNext);
    writeText("]");
    endLine();
}

void showCharacterStats() {
    const Player& player = game().state.player;
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
    Player& player = game().state.player;
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
            case 1: raise(player, player.strength); break;
            case 2: raise(player, player.intelligence); break;
            case 3: raise(player, player.agility); break;
            default: break;
        }
    }
}

}  // namespace talvoren
