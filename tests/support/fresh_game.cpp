#include "fresh_game.h"

#include "character/records.h"
#include "combat/random.h"
#include "console/input.h"

namespace talvoren::test_support {

void resetToFreshRun() {
    resetGameState();
    gameInput().reset();
    useCalendarDice();
}

void startFreshGame(SimulatedPlatform& console) {
    resetToFreshRun();
    setPlatform(console);
}

}  // namespace talvoren::test_support
