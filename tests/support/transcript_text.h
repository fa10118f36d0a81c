// Pieces of the game's screens as the simulated console records them, and
// the inputs that settle a fight, shared by the transcript tests.
#pragma once

#include <string>

namespace talvoren::testing {

inline const std::string kRule = "+" + std::string(118, '-') + "+";
inline const std::string kPause = "Press ENTER to continue...\n> ";
// What Load Game says of a save1.txt that is there but holds no game of Act 1.
inline const std::string kNoGameInTheSave = "save1.txt holds no saved game that can be continued\n";
// What the game does to the window before the first screen.
inline const std::string kStartUp = "<window 1000x500><title Talvoren -- Build v0.1.0>";
// The main menu as a screen of its own, and as it follows a clear.
inline const std::string kMainMenuScreen =
    "[1] New Game\n[2] Options\n[3] Credits\n[4] Load Game\n\n[99] Exit\n> ";
inline const std::string kMainMenu = "<clear>" + kMainMenuScreen;
// A fight's input: the intro's pause, the hidden winning choice, the victory pause.
inline const std::string kWin = "\n6142\n\n";
// The intro's pause, then flight: the fight is lost.
inline const std::string kFlee = "\n99\n";

inline bool startsWith(const std::string& text, const std::string& prefix) {
    return text.starts_with(prefix);
}

// A speech screen: cleared, the speaker, the framed text, the pause.
inline std::string speech(const std::string& speaker, const std::string& text) {
    return "<clear>" + speaker + "\n" + kRule + text + "\n" + kRule + kPause;
}

// The level in "You have encountered a level N ...", or -1 without a fight.
inline int encounteredLevel(const std::string& out) {
    const std::string marker = "You have encountered a level ";
    const std::size_t at = out.find(marker);
    if (at == std::string::npos) return -1;
    return std::stoi(out.substr(at + marker.size()));
}

}  // namespace talvoren::testing
