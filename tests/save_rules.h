// The save's rules, each scenario written once and tried on every disk the
// suite has: the simulated one everywhere (save_policy_test.cpp) and the real
// one where the suite runs on POSIX (disk_save_test.cpp). A disk gives:
//   addFolder/addFile/addLink/addPipe(path, ..., owner), addHardLink, setMode,
//   holdLock, rename: things as a test needs them, paths from the player's folder;
//   owners are "player", "root", or another user ("mallory", "ana");
//   full(path): the path from anywhere; contents, isLink, mode, owner,
//   listing(folder): what is there, no link followed;
//   save(path, contents, user): "saved" or the reason the player is shown;
//   steps(): the steps under the saves, which a test can make fail (a save
//     may run in a process of its own: heal them rather than count on a
//     failure being used up);
//   playerId(): the id in the player's temporary files;
//   hasOtherUsers(): whether files of other users can be made (root on a real disk);
//   clear(): the player's folder empty again, every step healed.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "faulty_file_system.h"

namespace talvoren::testing {

inline const std::string kOldSave =
    "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0\n(an older and longer save)";
inline const std::string kNewSave = "Act 1\nAna\n2\n5\n6\n5\n40\n0\n25\n50\n0\n1\n3\n0";

template <class Disk>
class SaveRules : public ::testing::Test {
protected:
    // Rows that need another user's files end here where the disk has none.
    bool needOtherUsers() {
        if (disk_.hasOtherUsers()) return true;
        std::cout << "[ SKIPPED  ] the rows with other users' files need root on this disk\n";
        return false;
    }

    Disk disk_;
};

TYPED_TEST_SUITE_P(SaveRules);

TYPED_TEST_P(SaveRules, ReplacesTheWholeSaveKeepsItsModeAndLeavesOnlyIt) {
    auto& disk = this->disk_;
    disk.addFile("save1.txt", kOldSave, 0600);
    disk.addFile(".save1.txt.backup", "my copy");
    disk.addFile("save1.txt.tmp", "my notes");
    EXPECT_EQ(disk.save("save1.txt", kNewSave), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), kNewSave);
    EXPECT_EQ(disk.mode("save1.txt"), 0600u);
    EXPECT_EQ(disk.listing(), ".save1.txt.backup save1.txt save1.txt.tmp ");
    EXPECT_EQ(disk.contents(".save1.txt.backup"), "my copy");
    EXPECT_EQ(disk.contents("save1.txt.tmp"), "my notes");
    // A first save gets the usual mode (the umask 022 applies).
    EXPECT_EQ(disk.save("save2.txt", kNewSave), "saved");
    EXPECT_EQ(disk.mode("save2.txt"), 0644u);

    // Only the permission bits carry over: never set-user-ID, set-group-ID or sticky.
    for (const unsigned mode : {04755U, 02755U, 01755U, 06777U, 07755U}) {
        SCOPED_TRACE(mode);
        disk.addFile("save3.txt", kOldSave, mode);
        if (disk.mode("save3.txt") != mode) continue;  // a file system that drops it
        EXPECT_EQ(disk.save("save3.txt", kNewSave), "saved");
        EXPECT_EQ(disk.mode("save3.txt"), mode & 0777);
    }

    // Root saving the player's file leaves it the player's.
    if (!this->needOtherUsers()) return;
    EXPECT_EQ(disk.save("save1.txt", "short", "root"), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), "short");
    EXPECT_EQ(disk.owner("save1.txt"), "player");
    EXPECT_EQ(disk.mode("save1.txt"), 0600u);
}

TYPED_TEST_P(SaveRules, RefusedSavesSayWhyAndChangeNothing) {
    auto& disk = this->disk_;
    disk.addFile("save1.txt", kOldSave, 0444);
    disk.addFolder("folder.txt", 0755);
    disk.addPipe("pipe.txt");
    const std::string before = disk.listing();
    EXPECT_EQ(disk.save("save1.txt", kNewSave), "Permission denied");
    EXPECT_EQ(disk.save("folder.txt", kNewSave), "Is a directory");
    EXPECT_EQ(disk.save("pipe.txt", kNewSave), "Not a regular file");
    EXPECT_EQ(disk.steps().openForReading(disk.full("pipe.txt")), nullptr);  // nor waited on
    EXPECT_EQ(disk.save("no-such-folder/save1.txt", kNewSave), "No such file or directory");
    EXPECT_EQ(disk.contents("save1.txt"), kOldSave);
    EXPECT_EQ(disk.mode("save1.txt"), 0444u);
    EXPECT_EQ(disk.listing(), before);

    if (!this->needOtherUsers()) return;
    disk.addFile("anas.txt", kOldSave, 0644, "ana");
    EXPECT_EQ(disk.save("anas.txt", kNewSave),
              "Permission denied");  // another user's file in the player's folder
    EXPECT_EQ(disk.save("save1.txt", kNewSave, "root"), "Permission denied");  // read-only even for root
    EXPECT_EQ(disk.contents("save1.txt"), kOldSave);
    EXPECT_EQ(disk.contents("anas.txt"), kOldSave);
}

TYPED_TEST_P(SaveRules, PlayersLinksAreFollowedAndStayLinks) {
    auto& disk = this->disk_;
    disk.addFolder("saves", 0755);
    disk.addFile("saves/mine.txt", kOldSave);
    disk.addLink("save1.txt", "saves/mine.txt");
    EXPECT_EQ(disk.save("save1.txt", kNewSave), "saved");
    EXPECT_TRUE(disk.isLink("save1.txt"));
    EXPECT_EQ(disk.contents("saves/mine.txt"), kNewSave);
    EXPECT_EQ(disk.listing("saves"), "mine.txt ");

    // A link to a link, the last relative to its own folder and naming a save
    // not made yet; then a loop, which ends with a reason, not a hang.
    disk.addLink("saves/hop", "new.txt");
    disk.addLink("save2.txt", disk.full("saves/hop"));
    EXPECT_EQ(disk.save("save2.txt", "first"), "saved");
    EXPECT_EQ(disk.contents("saves/new.txt"), "first");
    EXPECT_TRUE(disk.isLink("saves/hop"));
    disk.addLink("loop-a", "loop-b");
    disk.addLink("loop-b", "loop-a");
    EXPECT_EQ(disk.save("loop-a", kNewSave), "Too many levels of symbolic links");
}

TYPED_TEST_P(SaveRules, EveryFailingStepKeepsTheOldSaveLeavesNothingAndSaysWhy) {
    auto& disk = this->disk_;
    for (const FileStep step :
         {FileStep::openFolder, FileStep::look, FileStep::mayWrite, FileStep::createLocked, FileStep::writeAt,
          FileStep::syncFile, FileStep::rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        disk.clear();
        disk.addFile("save1.txt", kOldSave);
        disk.steps().fail(step, FileProblem::other, "No space left on device");
        EXPECT_EQ(disk.save("save1.txt", kNewSave), "No space left on device");
        EXPECT_EQ(disk.contents("save1.txt"), kOldSave);
        EXPECT_EQ(disk.listing(), "save1.txt ");
    }
    // Steps after the bytes are safe, or only for tidiness, do not fail the save.
    for (const FileStep step : {FileStep::copyModeAndOwner, FileStep::close, FileStep::syncFolder,
                                FileStep::list, FileStep::removeIfUnheld}) {
        SCOPED_TRACE(static_cast<int>(step));
        disk.clear();
        disk.addFile("save1.txt", kOldSave);
        disk.addFile(".save1.txt.tvtmp-Ab3dE9", "left by a crash");
        disk.steps().fail(step, FileProblem::other, "Input/output error");
        EXPECT_EQ(disk.save("save1.txt", kNewSave), "saved");
        EXPECT_EQ(disk.contents("save1.txt"), kNewSave);
    }
}

TYPED_TEST_P(SaveRules, FolderClosedToNewFilesTakesTheSaveInPlace) {
    auto& disk = this->disk_;
    const auto startOver = [&disk](bool closed) {
        disk.clear();
        disk.addFolder("closed", 0755);
        disk.addFile("save1.txt", kOldSave);
        disk.addFile("closed/save1.txt", kOldSave);
        if (closed) disk.setMode("closed", 0555);
    };
    startOver(true);
    EXPECT_EQ(disk.save("closed/save1.txt", kNewSave), "saved");
    EXPECT_EQ(disk.contents("closed/save1.txt"), kNewSave);  // cut to the new length
    EXPECT_EQ(disk.listing("closed"), "save1.txt ");
    EXPECT_EQ(disk.save("closed/save2.txt", kNewSave), "Permission denied");  // nothing there to rewrite

    // A refused rename falls back the same way, its temporary file gone.
    startOver(false);
    disk.steps().fail(FileStep::rename, FileProblem::accessDenied, "Permission denied");
    EXPECT_EQ(disk.save("save1.txt", kNewSave), "saved");
    EXPECT_EQ(disk.contents("save1.txt"), kNewSave);
    EXPECT_EQ(disk.listing(), "closed save1.txt ");

    // A step of the rewrite that fails puts the old bytes back, even after a
    // write that got half way or a cut that went through.
    for (const FileStep step : {FileStep::openExisting, FileStep::describeFile, FileStep::readAt,
                                FileStep::writeAt, FileStep::truncate, FileStep::syncFile}) {
        SCOPED_TRACE(static_cast<int>(step));
        startOver(true);
        disk.steps().fail(step, FileProblem::other, "No space left on device");
        EXPECT_EQ(disk.save("closed/save1.txt", kNewSave), "No space left on device");
        EXPECT_EQ(disk.contents("closed/save1.txt"), kOldSave);
        EXPECT_EQ(disk.listing("closed"), "save1.txt ");
    }
    // A new save longer than the old, cut off past the old one's end (a file
    // size limit): the old save comes back at its own length.
    startOver(true);
    disk.steps().fail(FileStep::writeAt, FileProblem::tooLarge, "File too large");
    EXPECT_EQ(disk.save("closed/save1.txt", std::string(4 * kOldSave.size(), 'n')), "File too large");
    EXPECT_EQ(disk.contents("closed/save1.txt"), kOldSave);
}

// Just before an in-place rewrite opens the save, a link to the player's
// notes or another file takes its name: the save fails and neither is written.
TYPED_TEST_P(SaveRules, InPlaceRewriteWritesOnlyTheFileItChecked) {
    auto& disk = this->disk_;
    enum class Swap { symbolicLink, hardLink, renamedFile };
    for (const Swap swap : {Swap::symbolicLink, Swap::hardLink, Swap::renamedFile}) {
        SCOPED_TRACE(static_cast<int>(swap));
        disk.clear();
        disk.addFile("notes.txt", "my notes");
        disk.addFile("other.txt", "another file");
        disk.addFolder("closed", 0755);
        disk.addFile("closed/save1.txt", kOldSave);
        disk.setMode("closed", 0555);
        disk.steps().before(FileStep::openExisting, [&disk, swap] {
            disk.setMode("closed", 0755);
            if (swap == Swap::symbolicLink) disk.addLink("closed/save1.txt", disk.full("notes.txt"));
            if (swap == Swap::hardLink) disk.addHardLink("closed/save1.txt", "notes.txt");
            if (swap == Swap::renamedFile) disk.rename("other.txt", "closed/save1.txt");
            disk.setMode("closed", 0555);
        });
        EXPECT_EQ(disk.save("closed/save1.txt", kNewSave), "The file was replaced during the save");
        EXPECT_EQ(disk.contents("notes.txt"), "my notes");
        EXPECT_EQ(disk.isLink("closed/save1.txt"), swap == Swap::symbolicLink);
        if (swap == Swap::renamedFile) {
            EXPECT_EQ(disk.contents("closed/save1.txt"), "another file");
        }
        EXPECT_EQ(disk.listing("closed"), "save1.txt ");
    }
}

// In a folder where others may add names (sticky and open to all like /tmp,
// open to all, or a team's), a link is followed only when it is the
// player's or the folder owner's, whether the player or root saves.
TYPED_TEST_P(SaveRules, InAFolderOpenToOthersOnlyLinksOfThePlayerOrTheFoldersOwnerAreFollowed) {
    auto& disk = this->disk_;
    if (!this->needOtherUsers()) return;
    disk.addFile("precious.txt", kOldSave);
    disk.addFolder("sticky", 01777, "root");
    disk.addFolder("shared", 0777, "root");
    disk.addFolder("team", 0775, "ana");
    for (const char* folder : {"sticky", "shared", "team"}) {
        const std::string shared = folder;
        disk.addLink(shared + "/save1.txt", disk.full("precious.txt"), "mallory");
        disk.addLink(shared + "/save2.txt", disk.full("not-yet.txt"), "mallory");
        for (const char* user : {"player", "root"}) {
            SCOPED_TRACE(shared + " as " + user);
            EXPECT_EQ(disk.save(shared + "/save1.txt", kNewSave, user), "Permission denied");
            EXPECT_EQ(disk.save(shared + "/save2.txt", kNewSave, user), "Permission denied");
        }
        EXPECT_EQ(disk.listing(shared), "save1.txt save2.txt ");
    }
    // A link of the player's own leads to one of another user's.
    disk.addLink("save2.txt", disk.full("sticky/save1.txt"));
    EXPECT_EQ(disk.save("save2.txt", kNewSave), "Permission denied");
    EXPECT_EQ(disk.contents("precious.txt"), kOldSave);
    EXPECT_FALSE(disk.contents("not-yet.txt"));
    EXPECT_EQ(disk.listing(), "precious.txt save2.txt shared sticky team ");

    // The player's link is followed; so is the folder owner's, by the player
    // and by root alike. The player's is not root's to follow.
    disk.addLink("sticky/save3.txt", disk.full("precious.txt"));
    disk.addLink("sticky/save4.txt", disk.full("precious.txt"), "root");
    disk.addLink("team/save3.txt", disk.full("precious.txt"), "ana");
    EXPECT_EQ(disk.save("sticky/save3.txt", "three"), "saved");
    EXPECT_EQ(disk.save("sticky/save3.txt", "three", "root"), "Permission denied");
    EXPECT_EQ(disk.save("sticky/save4.txt", "four"), "saved");
    EXPECT_EQ(disk.contents("precious.txt"), "four");
    EXPECT_EQ(disk.save("team/save3.txt", "five", "root"), "saved");
    EXPECT_EQ(disk.contents("precious.txt"), "five");
    EXPECT_TRUE(disk.isLink("team/save3.txt"));
}

// Another user's save1.txt in a folder open to others is left untouched,
// by the player and by root; the player's own there is saved.
TYPED_TEST_P(SaveRules, InAFolderOpenToOthersOnlyThePlayersFileIsWritten) {
    auto& disk = this->disk_;
    if (!this->needOtherUsers()) return;
    for (const auto& [folder, mode] : {std::pair<std::string, unsigned>{"sticky", 01777}, {"shared", 0777}}) {
        disk.addFolder(folder, mode, "root");
        disk.addFile(folder + "/save1.txt", "mallory's save", 0666, "mallory");
        disk.addFile(folder + "/save2.txt", kOldSave);
        for (const char* user : {"player", "root"}) {
            SCOPED_TRACE(folder + " as " + user);
            EXPECT_EQ(disk.save(folder + "/save1.txt", kNewSave, user), "Permission denied");
        }
        EXPECT_EQ(disk.save(folder + "/save2.txt", kNewSave), "saved");
        EXPECT_EQ(disk.contents(folder + "/save1.txt"), "mallory's save");
        EXPECT_EQ(disk.contents(folder + "/save2.txt"), kNewSave);
        EXPECT_EQ(disk.listing(folder), "save1.txt save2.txt ");
    }
}

TYPED_TEST_P(SaveRules, GoodSaveRemovesTemporaryFilesCrashesLeftAndNothingElse) {
    auto& disk = this->disk_;
    disk.addFile("save1.txt", kOldSave);
    disk.addFile(".save1.txt.tvtmp-Ab3dE9", "half a save of a crashed game");
    disk.addFile(".save1.txt.tvtmp-" + disk.playerId() + "-Cd5fG7", "half a save of a crashed game");
    disk.addFile(".save1.txt.tvtmp-Zz9zZ9", "a save another game is writing");
    disk.holdLock(".save1.txt.tvtmp-Zz9zZ9");
    disk.addFile(".save1.txt.backup", "my copy");
    disk.addFile(".save1.txt.tvtmp-abc", "too short for the mark");
    disk.addFile(".save2.txt.tvtmp-Ab3dE9", "another save's");
    disk.addFolder(".save1.txt.tvtmp-Folder", 0755);
    disk.addLink(".save1.txt.tvtmp-LinkAB", "save1.txt");
    const std::string kept =
        ".save1.txt.backup .save1.txt.tvtmp-Folder .save1.txt.tvtmp-LinkAB "
        ".save1.txt.tvtmp-Zz9zZ9 .save1.txt.tvtmp-abc .save2.txt.tvtmp-Ab3dE9 save1.txt ";

    // A failed save tidies nothing.
    disk.steps().fail(FileStep::rename, FileProblem::other, "Input/output error");
    EXPECT_EQ(disk.save("save1.txt", kNewSave), "Input/output error");
    EXPECT_TRUE(disk.contents(".save1.txt.tvtmp-Ab3dE9"));
    disk.steps().heal();
    EXPECT_EQ(disk.save("save1.txt", kNewSave), "saved");
    EXPECT_EQ(disk.listing(), kept);
}

REGISTER_TYPED_TEST_SUITE_P(SaveRules, ReplacesTheWholeSaveKeepsItsModeAndLeavesOnlyIt,
                            EveryFailingStepKeepsTheOldSaveLeavesNothingAndSaysWhy,
                            RefusedSavesSayWhyAndChangeNothing, PlayersLinksAreFollowedAndStayLinks,
                            FolderClosedToNewFilesTakesTheSaveInPlace,
                            InPlaceRewriteWritesOnlyTheFileItChecked,
                            InAFolderOpenToOthersOnlyLinksOfThePlayerOrTheFoldersOwnerAreFollowed,
                            InAFolderOpenToOthersOnlyThePlayersFileIsWritten,
                            GoodSaveRemovesTemporaryFilesCrashesLeftAndNothingElse);

}  // namespace talvoren::testing
