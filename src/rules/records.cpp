#include "records.h"

#include "arithmetic.h"

namespace talvoren {

Player player;
Player loadedPlayer;
Enemy enemy;

std::int32_t actStage = 1;
std::int32_t sceneStep = 1;
std::int32_t questCounter = 0;
bool actRunning = true;
bool inBattle = false;
bool gateFlag = true;
Progress loadedProgress;

std::int32_t currentScreen = 0;
bool gameRunning = false;
bool backstoryEnabled = false;
bool tutorialEnabled = false;

void resetGameState() {
    player = Player{};
    loadedPlayer = Player{};
    enemy = Enemy{};
    actStage = 1;
    sceneStep = 1;
    questCounter = 0;
    actRunning = true;
    inBattle = false;
    gateFlag = true;
    loadedProgress = Progress{};
    currentScreen = 0;
    gameRunning = false;
    backstoryEnabled = false;
    tutorialEnabled = false;
}

std::int32_t fullHealth(const Player& hero) {
    const double factor = hero.level * 0.25 + 1.0;
    return truncateToInt32(factor * saturatingMultiply(hero.intelligence, 25));
}

void restoreHealth() {
    player.maxHealth = fullHealth(player);
    player.health = player.maxHealth;
}

}  // namespace talvoren
