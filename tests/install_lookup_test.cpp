// Pictures found from anywhere: the working folder first, then the folder of
// the program, then the folder the game was installed with; the save file
// always stays in the working folder.
#include <filesystem>
#include <string>

#include "combat/battle.h"
#include "console/art_file.h"
#include "rules/fight.h"
#include "rules/records.h"
#include "session.h"

namespace talvoren::testing {
namespace {

const std::filesystem::path kInstalledFolder =
    std::filesystem::path("installed") / "share" / "games" / "talvoren";

class InstalledPictures : public GameSession {
protected:
    void SetUp() override {
        GameSession::SetUp();
        installed = folder / kInstalledFolder;
        std::filesystem::create_directories(installed);
        files.setInstalledDataFolder(installed.string());
        console.setShowControls(false);
    }

    void writeInstalled(const std::filesystem::path& name, std::string_view contents) {
        writeFile((kInstalledFolder / name).string(), contents);
    }

    void installAllPictures() {
        for (const char* name : {"bear.txt", "hippopotamus.txt", "wasp.txt", "raven.txt"}) {
            writeInstalled(name, std::string("~ installed picture of ") + name + " ~\n");
        }
    }

    std::filesystem::path installed;
};

TEST_F(InstalledPictures, WorkingFolderFirstThenInstalledFolderThenTheMessage) {
    writeInstalled("bear.txt", "installed bear\r\nsecond line");
    writeInstalled("wasp.txt", "installed wasp\n");
    writeFile("wasp.txt", "local wasp\n");

    printArtFile("bear.txt");  // only installed: copied like any picture
    EXPECT_EQ(transcript(), "installed bear\nsecond line\n");

    console.clearTranscript();
    printArtFile("wasp.txt");  // a picture in the working folder wins
    EXPECT_EQ(transcript(), "local wasp\n");

    console.clearTranscript();
    printArtFile("raven.txt");  // in neither folder
    EXPECT_EQ(transcript(), "Unable to open file\n");
}

TEST_F(InstalledPictures, BesideTheProgramComesBetweenTheWorkingFolderAndTheInstalledOne) {
    const std::filesystem::path program = folder / "build-release";
    std::filesystem::create_directories(program);
    files.setExecutableFolder(program.string());
    writeFile("build-release/bear.txt", "bear beside the program\n");
    writeFile("build-release/wasp.txt", "wasp beside the program\n");
    writeFile("wasp.txt", "local wasp\n");
    writeInstalled("bear.txt", "installed bear\n");
    writeInstalled("raven.txt", "installed raven\n");

    for (const char* name : {"wasp.txt", "bear.txt", "raven.txt", "hippopotamus.txt"}) printArtFile(name);
    EXPECT_EQ(transcript(),
              "local wasp\n"               // the working folder wins
              "bear beside the program\n"  // then the program's folder
              "installed raven\n"          // then the installed pictures
              "Unable to open file\n");    // in none of the three
}

TEST_F(InstalledPictures, OnlyBareNamesOfRealFilesAreLookedUp) {
    installAllPictures();
    writeInstalled("art/bear.txt", "nested\n");
    printArtFile("art/bear.txt");  // a path with a folder means that folder only
    printArtFile("./bear.txt");
    EXPECT_EQ(transcript(), "Unable to open file\nUnable to open file\n");

    // A folder of the picture's name in the working folder is no picture.
    console.clearTranscript();
    std::filesystem::create_directory(folder / "hippopotamus.txt");
    printArtFile("hippopotamus.txt");
    EXPECT_EQ(transcript(), "~ installed picture of hippopotamus.txt ~\n");

    // An installed folder that is gone, and none at all, behave alike.
    for (const std::string& gone : {(folder / "missing").string(), std::string()}) {
        console.clearTranscript();
        files.setInstalledDataFolder(gone);
        printArtFile("raven.txt");
        EXPECT_EQ(transcript(), "Unable to open file\n") << "installed folder: '" << gone << "'";
    }
}

// Another user can plant a picture in a shared working folder: one too large
// to be a picture is passed over as a missing one, and the next place shows.
TEST_F(InstalledPictures, OversizePicturesArePassedOverForTheNextPlace) {
    const std::filesystem::path program = folder / "bin";
    std::filesystem::create_directories(program);
    files.setExecutableFolder(program.string());
    std::string lines200;  // 200 lines, 65,536 bytes: the largest picture shown
    for (int row = 1; row < 200; ++row) lines200 += std::string(327, '#') + "\n";
    lines200 += std::string(64 * 1024 - 1 - lines200.size(), '#') + "\n";
    writeFile("wasp.txt", lines200);
    writeFile("bear.txt", lines200.substr(1) + "x");  // one byte smaller, but 201 lines
    writeFile("raven.txt", "#" + lines200);           // 200 lines, but a 65,537th byte
    writeFile("bin/raven.txt", std::string(201, '\n'));
    writeFile("hippopotamus.txt", std::string(200, '\n') + "a\r");  // 201 lines, the last without its end
    writeFile("bin/bear.txt", "bear beside the program\n");
    writeInstalled("raven.txt", "installed raven\n");
    writeInstalled("hippopotamus.txt", std::string(199, '\n') + "hippo");

    printArtFile("wasp.txt");
    EXPECT_EQ(transcript(), lines200);

    console.clearTranscript();
    for (const char* name : {"bear.txt", "raven.txt", "hippopotamus.txt"}) printArtFile(name);
    EXPECT_EQ(transcript(),
              "bear beside the program\ninstalled raven\n" + std::string(199, '\n') + "hippo\n");

    console.clearTranscript();
    writeInstalled("raven.txt", std::string(64 * 1024 + 1, 'r'));
    printArtFile("raven.txt");  // too large in all three places
    EXPECT_EQ(transcript(), "Unable to open file\n");
}

TEST_F(InstalledPictures, NewGameFromAnEmptyFolderShowsTheInstalledMonsterAndSavesHere) {
    installAllPictures();
    EXPECT_EQ(play("1\nAna\n\n\n\n"), 0);

    // The game ended at the intro's pause, with the monster it met still in `enemy`.
    ASSERT_EQ(count(" " + state().enemy.name + "[!]\n"), 1u) << transcript();
    const std::string picture = pictureFileFor(state().enemy.name);
    ASSERT_FALSE(picture.empty()) << state().enemy.name;
    EXPECT_EQ(count("~ installed picture of " + picture + " ~\n"), 1u) << transcript();
    EXPECT_EQ(count("Unable to open file"), 0u);

    EXPECT_TRUE(fileExists("save1.txt"));
    EXPECT_EQ(readFile("save1.txt").rfind("Act 1\nAna\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(installed / "save1.txt"));
}

}  // namespace
}  // namespace talvoren::testing
