#include "fresh_game.h"

#include "character/records.h"
#include "console/input.h"

namespace talvoren::test_support {

void resetToFreshRun() {
    resetGameState();
    gameInput().reset();
}

void startFreshGame(SimulatedPlatform& console) {
    resetToFreshRun();
    setPlatform(console);
}

}  // namespace talvoren::test_support
