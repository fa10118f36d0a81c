#include "session.h"

#include <sstream>

#include "fresh_game.h"
#include "rules/random.h"
#include "shell/shell.h"

namespace talvoren::testing {

void GameSession::SetUp() {
    previousFolder_ = std::filesystem::current_path();
    scratch_ = std::make_unique<test_support::ScratchFolder>();
    folder = scratch_->path();
    std::filesystem::current_path(folder);
    test_support::startFreshGame(console, clock, files);
}

void GameSession::TearDown() {
    test_support::endFreshGame();  // the test's own dice go with it
    std::filesystem::current_path(previousFolder_);
    scratch_.reset();
}

int GameSession::play(std::string_view input) {
    console.type(input);
    return runGame();
}

void GameSession::restartProgram(Dice* dice) {
    test_support::startFreshGame(console, clock, files, dice);
    console.clearTranscript();
}

int GameSession::playAgain(std::string_view input) {
    restartProgram();
    return play(input);
}

void GameSession::addPictures() {
    scratch_->addPictures();
}

void GameSession::writeFile(const std::string& name, std::string_view contents) {
    scratch_->write(name, contents);
}

std::string GameSession::readFile(const std::string& name) const {
    return scratch_->read(name);
}

bool GameSession::fileExists(const std::string& name) const {
    return scratch_->holds(name);
}

std::size_t GameSession::count(std::string_view needle) const {
    std::size_t found = 0;
    for (std::size_t at = transcript().find(needle); at != std::string::npos;
         at = transcript().find(needle, at + needle.size())) {
        ++found;
    }
    return found;
}

std::string saveText(const std::string& name, int level, int intelligence, int strength, int agility,
                     int gold, int experience, int step, int toNext, int skillPoints, int sceneStep,
                     int actStage, int questCounter) {
    std::ostringstream text;
    text << "Act 1\n"
         << name << '\n'
         << level << '\n'
         << intelligence << '\n'
         << strength << '\n'
         << agility << '\n'
         << gold << '\n'
         << experience << '\n'
         << step << '\n'
         << toNext << '\n'
         << skillPoints << '\n'
         << sceneStep << '\n'
         << actStage << '\n'
         << questCounter;
    return text.str();
}

}  // namespace talvoren::testing
