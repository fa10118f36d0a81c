// The game's records: the hero, the monster, the progress of Act 1 and the
// shell's own flags, gathered in GameState. Types only: the running game's
// state lives in its context (console/game_context.h), one per run.
#pragma once

#include <cstdint>
#include <string>

namespace talvoren {

// What the hero and a monster share: what the turn screen shows of each, and
// the last blow struck.
struct Combatant {
    std::string name;
    std::int32_t level = 0;
    std::int32_t health = 0;
    std::int32_t maxHealth = 0;
    std::int32_t lastHit = 0;
    std::int32_t minDamage = 0;
    std::int32_t maxDamage = 0;
};

struct Player : Combatant {
    // A new hero starts at level 1 (an empty monster stays at 0).
    Player() { level = 1; }

    std::int32_t strength = 5;
    std::int32_t intelligence = 5;
    std::int32_t agility = 5;
    std::int32_t gold = 0;
    std::int32_t experience = 0;
    std::int32_t experienceToNext = 50;
    std::int32_t experienceStep = 25;
    std::int32_t skillPoints = 0;
};

struct Enemy : Combatant {};

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

// Everything one run of the game changes, each part as a new run finds it.
struct GameState {
    Player player;
    Player loadedPlayer;  // the hero as a save or the name prompt left it
    Enemy enemy;          // the monster met last, as its fight ended

    std::int32_t actStage = code(ActStage::RoadToTown);
    std::int32_t sceneStep = 1;
    std::int32_t questCounter = 0;
    bool actRunning = true;
    bool inBattle = false;
    bool gateFlag = true;
    Progress loadedProgress;

    std::int32_t currentScreen = code(Screen::NotStarted);
    bool gameRunning = false;
    bool backstoryEnabled = false;
    bool tutorialEnabled = false;

    // The act's progress as a save holds it.
    Progress progress() const { return {actStage, sceneStep, questCounter}; }
    void setProgress(const Progress& saved) {
        actStage = saved.actStage;
        sceneStep = saved.sceneStep;
        questCounter = saved.questCounter;
    }
};

// The hero's level-based full hit points: trunc((level x 0.25 + 1) x intelligence x 25).
std::int32_t fullHealth(const Player& hero);
// Sets the hero's health and its ceiling to fullHealth.
void restoreHealth(Player& hero);

}  // namespace talvoren
