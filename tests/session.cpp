#include "session.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "character/records.h"
#include "console/input.h"
#include "shell/shell.h"

namespace talvoren::testing {

std::filesystem::path pictureFolder() {
    return TALVOREN_DATA_DIR;
}

void GameSession::SetUp() {
    previousFolder_ = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::filesystem::temp_directory_path() /
             ("talvoren-test-" + std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    resetGameState();
    gameInput().reset();
    setPlatform(console);
}

void GameSession::TearDown() {
    std::filesystem::current_path(previousFolder_);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

int GameSession::play(std::string_view input) {
    console.type(input);
    return runGame();
}

void GameSession::restartProgram() {
    resetGameState();
    gameInput().reset();
    console.clearTranscript();
}

int GameSession::playAgain(std::string_view input) {
    restartProgram();
    return play(input);
}

void GameSession::addPictures() {
    for (const char* name : {"bear.txt", "hippopotamus.txt", "wasp.txt", "raven.txt"}) {
        std::filesystem::copy_file(pictureFolder() / name, folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

void GameSession::writeFile(const std::string& name, std::string_view contents) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string GameSession::readFile(const std::string& name) const {
    std::ifstream in(folder / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool GameSession::fileExists(const std::string& name) const {
    return std::filesystem::exists(folder / name);
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
