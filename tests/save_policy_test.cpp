// The save's rules on the simulated file system, alike on every system: what
// the save, its folder and the files beside it hold after a save that works,
// one that is refused and one whose step fails.
#include "platform/save_policy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "faulty_file_system.h"
#include "scratch_folder.h"
#include "simulated_file_system.h"

namespace talvoren::testing {
namespace {

const std::string kOld = "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0\n(an older and longer save)";
const std::string kNew = "Act 1\nAna\n2\n5\n6\n5\n40\n0\n25\n50\n0\n1\n3\n0";

class SavePolicy : public ::testing::Test {
protected:
    // Saves `contents` at `path`: "saved", or the reason the player is shown.
    std::string save(const std::string& path, const std::string& contents = kNew) {
        const SaveOutcome outcome = replaceFile(faulty, path, contents);
        EXPECT_EQ(disk.openFiles(), 0) << "a file was left open";
        return outcome.saved ? "saved" : outcome.reason;
    }
    // A fresh disk holding the old save in the player's folder, or in a
    // folder of the player's closed to new files.
    void startOver(bool closed = false) {
        disk = SimulatedFileSystem();
        faulty = FaultyFileSystem(disk);
        disk.addFolder("closed", "player", 0755);
        disk.addFile("save1.txt", kOld);
        disk.addFile("closed/save1.txt", kOld);
        if (closed) disk.setMode("closed", 0555);
    }

    SimulatedFileSystem disk;
    FaultyFileSystem faulty{disk};
};

TEST_F(SavePolicy, ReplacesTheWholeSaveKeepsItsModeAndOwnerAndLeavesOnlyIt) {
    disk.addFile("save1.txt", kOld, "player", 0600);
    disk.addFile(".save1.txt.backup", "my copy");
    disk.addFile("save1.txt.tmp", "my notes");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), kNew);
    EXPECT_EQ(disk.mode("save1.txt"), 0600u);
    EXPECT_EQ(disk.listing("/home/player"), ".save1.txt.backup save1.txt save1.txt.tmp ");
    EXPECT_EQ(disk.contents(".save1.txt.backup"), "my copy");

    // A first save gets the usual mode; root saving the player's file leaves it the player's.
    EXPECT_EQ(save("save2.txt"), "saved");
    EXPECT_EQ(disk.mode("save2.txt"), 0644u);
    disk.runAs("root");
    EXPECT_EQ(save("save1.txt", "short"), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), "short");
    EXPECT_EQ(disk.owner("save1.txt"), "player");

    // Only the permission bits carry over: never set-user-ID, set-group-ID or sticky.
    disk.addFile("save3.txt", kOld, "player", 07755);
    EXPECT_EQ(save("save3.txt"), "saved");
    EXPECT_EQ(disk.mode("save3.txt"), 0755u);
}

TEST_F(SavePolicy, RefusedSavesChangeNothing) {
    disk.addFile("save1.txt", kOld, "player", 0444);
    disk.addFolder("folder.txt", "player", 0755);
    disk.addPipe("pipe.txt");
    disk.addFile("anas.txt", kOld, "ana", 0644);
    const std::string before = disk.listing("/home/player");
    EXPECT_EQ(save("save1.txt"), "Permission denied");
    EXPECT_EQ(save("folder.txt"), "Is a directory");
    EXPECT_EQ(save("pipe.txt"), "Not a regular file");
    EXPECT_EQ(save("anas.txt"), "Permission denied");  // another user's file in the player's folder
    EXPECT_EQ(save("no-such-folder/save1.txt"), "No such file or directory");
    disk.runAs("root");
    EXPECT_EQ(save("save1.txt"), "Permission denied");  // read-only even for root
    EXPECT_EQ(disk.contents("save1.txt"), kOld);
    EXPECT_EQ(disk.contents("anas.txt"), kOld);
    EXPECT_EQ(disk.listing("/home/player"), before);
}

TEST_F(SavePolicy, EveryFailingStepKeepsTheOldSaveLeavesNothingAndSaysWhy) {
    for (const FileStep step :
         {FileStep::openFolder, FileStep::look, FileStep::mayWrite, FileStep::createLocked, FileStep::writeAt,
          FileStep::syncFile, FileStep::rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        startOver();
        faulty.fail(step, FileProblem::other, "No space left on device");
        EXPECT_EQ(save("save1.txt"), "No space left on device");
        EXPECT_EQ(disk.contents("save1.txt"), kOld);
        EXPECT_EQ(disk.listing("/home/player"), "closed save1.txt ");
    }
    // Steps after the bytes are safe, or only for tidiness, do not fail the save.
    for (const FileStep step : {FileStep::copyModeAndOwner, FileStep::close, FileStep::syncFolder,
                                FileStep::list, FileStep::removeIfUnheld}) {
        SCOPED_TRACE(static_cast<int>(step));
        startOver();
        disk.addFile(".save1.txt.tvtmp-Ab3dE9", "left by a crash");
        faulty.fail(step, FileProblem::other, "Input/output error");
        EXPECT_EQ(save("save1.txt"), "saved");
        EXPECT_EQ(disk.contents("save1.txt"), kNew);
    }
    // A temporary name already taken is passed over for a fresh one, a hundred times at most.
    startOver();
    faulty.fail(FileStep::createLocked, FileProblem::exists, "File exists", 1);
    EXPECT_EQ(save("save1.txt"), "saved");
    faulty.fail(FileStep::createLocked, FileProblem::exists, "File exists", 1, true);
    EXPECT_EQ(save("save1.txt"), "File exists");
    EXPECT_EQ(faulty.calls(FileStep::createLocked), 102);
}

TEST_F(SavePolicy, FolderClosedToNewFilesTakesTheSaveInPlace) {
    startOver(true);
    EXPECT_EQ(save("closed/save1.txt"), "saved");
    EXPECT_EQ(disk.contents("closed/save1.txt"), kNew);  // cut to the new length
    EXPECT_EQ(disk.listing("closed"), "save1.txt ");
    EXPECT_EQ(save("closed/save2.txt"), "Permission denied");  // nothing there to rewrite

    // A refused rename falls back the same way, its temporary file gone.
    startOver();
    faulty.fail(FileStep::rename, FileProblem::accessDenied, "Permission denied");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), kNew);
    EXPECT_EQ(disk.listing("/home/player"), "closed save1.txt ");

    // A step of the rewrite that fails puts the old bytes back, even after a
    // write that got half way or a cut that went through.
    for (const FileStep step : {FileStep::openExisting, FileStep::describeFile, FileStep::readAt,
                                FileStep::writeAt, FileStep::truncate, FileStep::syncFile}) {
        SCOPED_TRACE(static_cast<int>(step));
        startOver(true);
        faulty.fail(step, FileProblem::other, "No space left on device");
        EXPECT_EQ(save("closed/save1.txt"), "No space left on device");
        EXPECT_EQ(disk.contents("closed/save1.txt"), kOld);
        EXPECT_EQ(disk.listing("closed"), "save1.txt ");
    }
    // A new save longer than the old, cut off past the old one's end (a file
    // size limit): the old save comes back at its own length.
    startOver(true);
    faulty.fail(FileStep::writeAt, FileProblem::tooLarge, "File too large");
    EXPECT_EQ(save("closed/save1.txt", std::string(4 * kOld.size(), 'n')), "File too large");
    EXPECT_EQ(disk.contents("closed/save1.txt"), kOld);
}

TEST_F(SavePolicy, PlayersLinksAreFollowedAndStayLinks) {
    disk.addFolder("saves", "player", 0755);
    disk.addFile("saves/mine.txt", kOld);
    disk.addLink("save1.txt", "saves/mine.txt");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_TRUE(disk.isLink("save1.txt"));
    EXPECT_EQ(disk.contents("saves/mine.txt"), kNew);
    EXPECT_EQ(disk.listing("saves"), "mine.txt ");

    // A link to a link, the last relative to its own folder and naming a save
    // not made yet; then a loop, which ends with a reason.
    disk.addLink("saves/hop", "new.txt");
    disk.addLink("save2.txt", "/home/player/saves/hop");
    EXPECT_EQ(save("save2.txt", "first"), "saved");
    EXPECT_EQ(disk.contents("saves/new.txt"), "first");
    disk.addLink("loop-a", "loop-b");
    disk.addLink("loop-b", "loop-a");
    EXPECT_EQ(save("loop-a"), "Too many levels of symbolic links");
}

TEST_F(SavePolicy, InAFolderOpenToAllOnlyLinksOfThePlayerOrTheFoldersOwnerAreFollowed) {
    disk.addFile("precious.txt", kOld);
    disk.addLink("/tmp/save1.txt", "/home/player/precious.txt", "mallory");
    const std::string home = disk.listing("/home/player");
    EXPECT_EQ(save("/tmp/save1.txt"), "Permission denied");
    disk.runAs("root");
    EXPECT_EQ(save("/tmp/save1.txt"), "Permission denied");
    disk.runAs("player");
    // A link of the player's own, anywhere, leads to one of another user's in /tmp.
    disk.addLink("save2.txt", "/tmp/save1.txt");
    EXPECT_EQ(save("save2.txt"), "Permission denied");
    EXPECT_EQ(disk.contents("precious.txt"), kOld);
    EXPECT_EQ(disk.listing("/tmp"), "save1.txt ");
    EXPECT_EQ(disk.listing("/home/player"), home + "save2.txt ");

    disk.addLink("/tmp/save3.txt", "/home/player/precious.txt", "player");
    disk.addLink("/tmp/save4.txt", "/home/player/precious.txt", "root");  // the folder's owner
    EXPECT_EQ(save("/tmp/save3.txt", "three"), "saved");
    EXPECT_EQ(save("/tmp/save4.txt", "four"), "saved");
    EXPECT_EQ(disk.contents("precious.txt"), "four");

    // Shared without the sticky bit, with all or with a group: another
    // user's link there, even one to a file not made yet, is not followed
    // either; the folder's owner's is.
    disk.addFolder("/shared", "root", 0777);
    disk.addFolder("/team", "ana", 02775);
    disk.addLink("/shared/save1.txt", "/home/player/precious.txt", "mallory");
    disk.addLink("/team/save1.txt", "/home/player/not-yet.txt", "mallory");
    disk.addLink("/team/save2.txt", "/home/player/precious.txt", "ana");
    EXPECT_EQ(save("/shared/save1.txt", "five"), "Permission denied");
    EXPECT_EQ(save("/team/save1.txt", "six"), "Permission denied");
    EXPECT_EQ(disk.contents("precious.txt"), "four");
    EXPECT_FALSE(disk.contents("not-yet.txt"));
    EXPECT_EQ(save("/team/save2.txt", "seven"), "saved");
    EXPECT_EQ(disk.contents("precious.txt"), "seven");
}

// Another user's save1.txt in /tmp is left untouched (tried on the real disk);
// the player's own there is saved, and so is one where the system reports
// no owner (FAT).
TEST_F(SavePolicy, InAFolderOpenToOthersOnlyFilesOfThePlayerOrOfNoOwnerAreWritten) {
    disk.addFile("/tmp/save1.txt", kOld, "mallory", 0666);
    disk.addFile("/tmp/save2.txt", kOld, "player", 0644);
    disk.addFile("/tmp/save3.txt", kOld, "", 0666);
    EXPECT_EQ(save("/tmp/save1.txt"), "Permission denied");
    EXPECT_EQ(save("/tmp/save2.txt"), "saved");
    EXPECT_EQ(save("/tmp/save3.txt"), "saved");
    EXPECT_EQ(disk.contents("/tmp/save3.txt"), kNew);
}

// A link swapped for another user's just after the save looked at it: the
// target read with the owner that was checked is the one followed.
TEST_F(SavePolicy, LinkSwappedAfterItsLookNeverSteersTheSave) {
    disk.addFolder("/shared", "root", 0777);
    disk.addFile("mine.txt", kOld);
    disk.addFile("precious.txt", kOld);
    disk.addLink("/shared/save1.txt", "/home/player/mine.txt");
    faulty.afterLook([&] { disk.addLink("/shared/save1.txt", "/home/player/precious.txt", "mallory"); });
    EXPECT_EQ(save("/shared/save1.txt"), "saved");
    EXPECT_EQ(disk.contents("mine.txt"), kNew);
    EXPECT_EQ(disk.contents("precious.txt"), kOld);
}

TEST_F(SavePolicy, GoodSaveRemovesTemporaryFilesCrashesLeftAndNothingElse) {
    disk.addFile("save1.txt", kOld);
    disk.addFile(".save1.txt.tvtmp-Ab3dE9", "half a save of a crashed game");
    disk.addFile(".save1.txt.tvtmp-Zz9zZ9", "a save another game is writing");
    disk.holdLock(".save1.txt.tvtmp-Zz9zZ9");
    disk.addFile(".save1.txt.backup", "my copy");
    disk.addFile(".save1.txt.tvtmp-abc", "too short for the mark");
    disk.addFile(".save2.txt.tvtmp-Ab3dE9", "another save's");
    disk.addFolder(".save1.txt.tvtmp-Folder", "player", 0755);
    disk.addLink(".save1.txt.tvtmp-LinkAB", "save1.txt");
    const std::string kept =
        ".save1.txt.backup .save1.txt.tvtmp-Folder .save1.txt.tvtmp-LinkAB "
        ".save1.txt.tvtmp-Zz9zZ9 .save1.txt.tvtmp-abc .save2.txt.tvtmp-Ab3dE9 save1.txt ";

    // The save's own temporary file is marked with the player's name.
    std::string during;
    faulty.before(FileStep::rename, [&] { during = disk.listing("/home/player"); });
    faulty.fail(FileStep::rename, FileProblem::other, "Input/output error");
    EXPECT_EQ(save("save1.txt"), "Input/output error");  // a failed save tidies nothing
    EXPECT_NE(during.find(" .save1.txt.tvtmp-player-"), std::string::npos) << during;
    EXPECT_TRUE(disk.contents(".save1.txt.tvtmp-Ab3dE9"));
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.listing("/home/player"), kept);

    // In /tmp another user's leftover is not the player's to remove, even
    // one marked with the player's name; the save still works. Leftovers
    // marked with another user's name are passed over without a look.
    disk.addFile("/tmp/.save1.txt.tvtmp-Ab3dE9", "mallory's", "mallory", 0600);
    disk.addFile("/tmp/.save1.txt.tvtmp-player-Ab3dE9", "mallory's", "mallory", 0600);
    for (const char* name : {".save1.txt.tvtmp-mallory-Ab3dE9", ".save1.txt.tvtmp-mallory-Ab3dE8"})
        disk.addFile(std::string("/tmp/") + name, "mallory's", "mallory", 0600);
    disk.addFile("/tmp/.save1.txt.tvtmp-player-Zz9zZ9", "the player's");
    const int looks = faulty.calls(FileStep::removeIfUnheld);
    EXPECT_EQ(save("/tmp/save1.txt"), "saved");
    EXPECT_EQ(disk.listing("/tmp"),
              ".save1.txt.tvtmp-Ab3dE9 .save1.txt.tvtmp-mallory-Ab3dE8 .save1.txt.tvtmp-mallory-Ab3dE9 "
              ".save1.txt.tvtmp-player-Ab3dE9 save1.txt ");
    EXPECT_EQ(faulty.calls(FileStep::removeIfUnheld) - looks, 3);
}

TEST_F(SavePolicy, CleanUpTakesAboutATenthOfASecondAndTheNextSaveGoesOn) {
    // A slow disk: each look at a leftover takes 40 ms, so a save looks at
    // three. The first three are held by running games and stay.
    disk.slowRemovals(40);
    const std::string mark = ".save1.txt.tvtmp-player-";
    std::string held;
    for (const char* letters :
         {"aaaaaa", "bbbbbb", "cccccc", "dddddd", "eeeeee", "ffffff", "gggggg", "hhhhhh"}) {
        disk.addFile(mark + letters, "left by a crash");
        if (letters[0] < 'd') {
            disk.holdLock(mark + letters);
            held += mark + letters + " ";
        }
    }
    const std::string all = disk.listing("/home/player");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.listing("/home/player"), all + "save1.txt ");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.listing("/home/player"), held + mark + "gggggg " + mark + "hhhhhh save1.txt ");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.listing("/home/player"), held + "save1.txt ");
}

// More leftovers than one clean-up keeps in mind, all held by running
// games: the next save goes on past them to the one a crash left.
TEST_F(SavePolicy, CleanUpGoesOnPastThousandsOfHeldLeftovers) {
    const std::string mark = ".save1.txt.tvtmp-player-";
    for (int held = 10000; held < 14096; ++held) {
        disk.addFile(mark + "h" + std::to_string(held), "being written");
        disk.holdLock(mark + "h" + std::to_string(held));
    }
    disk.addFile(mark + "zzzzzz", "left by a crash");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_FALSE(disk.contents(mark + "zzzzzz"));
}

TEST_F(SavePolicy, SaveKeptInAStoreOfItsOwnCountsOnlyOnceTheStoreHoldsIt) {
    disk.keepSeparateStore();
    disk.addFile("save1.txt", kOld);
    const std::string refused = "the browser could not store it (QuotaExceededError)";
    faulty.fail(FileStep::commitToStore, FileProblem::other, refused);
    EXPECT_EQ(save("save1.txt"), refused);
    EXPECT_EQ(disk.contents("save1.txt"), kOld);  // as the store still has it
    faulty.fail(FileStep::commitToStore, FileProblem::other, refused);
    EXPECT_EQ(save("save2.txt"), refused);
    EXPECT_EQ(disk.listing("/home/player"), "save1.txt ");
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), kNew);
}

// The same rule on the real disk of whichever system runs the suite (the
// Windows steps under wine too): the file rewritten in place must be the one
// that was checked.
TEST(SavePolicyOnDisk, InPlaceRewriteWritesOnlyTheFileItChecked) {
    const test_support::ScratchFolder scratch;
    const std::string save = (scratch.path() / "save1.txt").string();
    for (const bool swapped : {false, true}) {
        scratch.write("save1.txt", kOld);
        scratch.write("other.txt", "another file");
        FaultyFileSystem disk(nativeFileSystem());
        disk.fail(FileStep::createLocked, FileProblem::accessDenied, "Access is denied");
        if (swapped) {
            disk.before(FileStep::openExisting,
                        [&] { std::filesystem::rename(scratch.path() / "other.txt", save); });
        }
        const SaveOutcome outcome = replaceFile(disk, save, kNew);
        EXPECT_EQ(outcome.saved ? "saved" : outcome.reason, swapped ? kChangedFileReason : "saved");
        EXPECT_EQ(scratch.read("save1.txt"), swapped ? "another file" : kNew);
    }
}

// On the real disk of whichever system runs the suite (under wine, owners
// from the files' security descriptors): the player's leftovers go, in the
// mark with his id and in the older one, and another user's marked name stays.
TEST(SavePolicyOnDisk, CleanUpRemovesThePlayersLeftoversAndPassesOthersMarksOver) {
    const test_support::ScratchFolder scratch;
    const std::string others = ".save1.txt.tvtmp-S-1-5-21-1-2-3-9999-Ab3dE9";
    for (const std::string& name : {others, std::string(".save1.txt.tvtmp-Ab3dE9"),
                                    ".save1.txt.tvtmp-" + nativeFileSystem().playerId() + "-Ab3dE9"})
        scratch.write(name, "half a save");
    EXPECT_TRUE(replaceFile(nativeFileSystem(), (scratch.path() / "save1.txt").string(), kNew).saved);
    const auto names = std::distance(std::filesystem::directory_iterator(scratch.path()), {});
    EXPECT_EQ(names, 2);
    EXPECT_TRUE(scratch.holds(others));
}

}  // namespace
}  // namespace talvoren::testing
