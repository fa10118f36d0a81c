// The scenes of Act 1. Each call plays one step of its scene (one menu
// answer, one speech sequence or one fight) and returns; the act driver
// calls the scene that the act stage names again and again.
#pragma once

namespace talvoren {

// Stage 1: the notice, the walk and the town gate.
void playRoadToTown();
// Stage 2: the town menu and the wizard's request.
void playWizardTown();
// Stage 3: hunting areas of monster levels 3 to 15.
void playFirstWilderness();
// Stage 4: the call for help and the raven quest.
void playCursedTown();
// Stage 5: hunting areas of monster levels 21 to 32.
void playSecondWilderness();

}  // namespace talvoren
