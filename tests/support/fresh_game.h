// A fresh run of the game for tests and fuzz harnesses.
#pragma once

#include "platform/simulated_platform.h"

namespace talvoren::test_support {

// Puts every game record, the shared input and the fights' dice back as a
// new run of the program finds them.
void resetToFreshRun();

// resetToFreshRun, then the game plays on `console`.
void startFreshGame(SimulatedPlatform& console);

}  // namespace talvoren::test_support
