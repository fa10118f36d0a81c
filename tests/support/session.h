// Test support: a fresh game on the simulated console, run in a scratch
// folder of its own so that save files of one test never meet another's.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "fresh_game.h"
#include "scratch_folder.h"
#include "simulated_files.h"
#include "simulated_terminal.h"

namespace talvoren::testing {

using test_support::pictureFolder;
using test_support::state;

class GameSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the whole game from the main menu on the scripted input; returns the exit status.
    int play(std::string_view input);
    // Starts a fresh run of the program in the same folder, as after a
    // restart, rolling `dice` (which must outlive it) when given, else the
    // calendar dice of the console's clock.
    void restartProgram(Dice* dice = nullptr);
    // restartProgram, then play.
    int playAgain(std::string_view input);
    // Copies the four pictures into the session's folder.
    void addPictures();
    void writeFile(const std::string& name, std::string_view contents);
    std::string readFile(const std::string& name) const;
    bool fileExists(const std::string& name) const;
    const std::string& transcript() const { return console.transcript(); }
    // How often `needle` occurs in the transcript.
    std::size_t count(std::string_view needle) const;

    SimulatedClock clock;
    SimulatedTerminal console{clock};
    SimulatedFiles files;
    std::filesystem::path folder;

private:
    std::unique_ptr<test_support::ScratchFolder> scratch_;
    std::filesystem::path previousFolder_;
};

// A save file of Act 1 with the given values in file order.
std::string saveText(const std::string& name, int level, int intelligence, int strength, int agility,
                     int gold, int experience, int step, int toNext, int skillPoints, int sceneStep,
                     int actStage, int questCounter);

}  // namespace talvoren::testing
