#include "records.h"

#include "arithmetic.h"
#include "random.h"

namespace talvoren {

Player player;
Player loadedPlayer;
Enemy enemy;

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

void resetGameState() {
    player = Player{};
    loadedPlayer = Player{};
    enemy = Enemy{};
    actStage = code(ActStage::RoadToTown);
    sceneStep = 1;
    questCounter = 0;
    actRunning = true;
    inBattle = false;
    gateFlag = true;
    loadedProgress = Progress{};
    currentScreen = code(Screen::NotStarted);
    gameRunning = false;
    backstoryEnabled = false;
    tutorialEnabled = false;
}

std::int32_t fullHealth(const Player& hero) {
    return scaleByFactor(levelFactor(hero.level, kHeroLevelWeight),
                         saturatingMultiply(hero.intelligence, 25));
}

void restoreHealth() {
    player.maxHealth = fullHealth(player);
    player.health = player.maxHealth;
}

}  // namespace talvoren
