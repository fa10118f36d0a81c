// The game's state: the hero, the monster, the progress of Act 1 and the
// shell's own flags. All of it is global and lives for the whole run.
#pragma once

#include <cstdint>
#include <string>

namespace talvoren {

struct Player {
    std::string name;
    std::int32_t level = 1;
    std::int32_t health = 0;
    std::int32_t maxHealth = 0;
    std::int32_t lastHit = 0;
    std::int32_t minDamage = 0;
    std::int32_t maxDamage = 0;
    std::int32_t strength = 5;
    std::int32_t intelligence = 5;
    std::int32_t agility = 5;
    std::int32_t gold = 0;
    std::int32_t experience = 0;
    std::int32_t experienceToNext = 50;
    std::int32_t experienceStep = 25;
    std::int32_t skillPoints = 0;
};

struct Enemy {
    std::string name;
    std::int32_t health = 0;
    std::int32_t maxHealth = 0;
    std::int32_t lastHit = 0;
    std::int32_t minDamage = 0;
    std::int32_t maxDamage = 0;
    std::int32_t level = 0;
};

// The top-level screens by the code `currentScreen` holds.
enum class Screen : std::int32_t {
    NotStarted = 0,  // before the shell starts
    MainMenu = 1,
    NewGame = 2,
    Options = 3,
    ActForNewHero = 4,
    ActForLoadedGame = 99,  // the code the save reader sets
};

// The stages of Act 1 by the number `actStage` and the save file hold.
enum class ActStage : std::int32_t {
    RoadToTown = 1,
    WizardTown = 2,
    FirstWilderness = 3,
    CursedTown = 4,
    SecondWilderness = 5,
    End = 6,
};

// The number a screen or stage is held and saved as.
constexpr std::int32_t code(Screen screen) {
    return static_cast<std::int32_t>(screen);
}
constexpr std::int32_t code(ActStage stage) {
    return static_cast<std::int32_t>(stage);
}

// The three progress values a save file carries.
struct Progress {
    std::int32_t actStage = code(ActStage::RoadToTown);
    std::int32_t sceneStep = 1;
    std::int32_t questCounter = 0;
};

extern Player player;
extern Player loadedPlayer;
extern Enemy enemy;

extern std::int32_t actStage;
extern std::int32_t sceneStep;
extern std::int32_t questCounter;
extern bool actRunning;
extern bool inBattle;
extern bool gateFlag;
extern Progress loadedProgress;

extern std::int32_t currentScreen;
extern bool gameRunning;
extern bool backstoryEnabled;
extern bool tutorialEnabled;

// Puts every value back to its value at program load (a fresh run).
void resetGameState();

// The hero's level-based full hit points: trunc((level x 0.25 + 1) x intelligence x 25).
std::int32_t fullHealth(const Player& hero);
// Sets the hero's health and its ceiling to fullHealth.
void restoreHealth();

}  // namespace talvoren
