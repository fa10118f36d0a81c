// The save's rules on the simulated file system, alike on every system: what
// the save, its folder and the files beside it hold after a save that works,
// one that is refused and one whose step fails. The rules that the real disk
// shows as well are written once, in save_rules.h.
#include "platform/save_policy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "faulty_file_system.h"
#include "save_rules.h"
#include "scratch_folder.h"
#include "simulated_file_system.h"

namespace talvoren::testing {
namespace {

const std::string kOld = kOldSave;
const std::string kNew = kNewSave;

// The simulated file system as a disk of save_rules.h; the player's folder is /home/player.
class SimulatedDisk {
public:
    void addFolder(const std::string& path, unsigned mode, const std::string& owner = "player") {
        disk_.addFolder(path, owner, mode);
    }
    void addFile(const std::string& path, std::string_view contents, unsigned mode = 0644,
                 const std::string& owner = "player") {
        disk_.addFile(path, contents, owner, mode);
    }
    void addLink(const std::string& path, const std::string& target, const std::string& owner = "player") {
        disk_.addLink(path, target, owner);
    }
    void addPipe(const std::string& path) { disk_.addPipe(path); }
    void setMode(const std::string& path, unsigned mode) { disk_.setMode(path, mode); }
    void holdLock(const std::string& path) { disk_.holdLock(path); }
    void rename(const std::string& from, const std::string& to) { disk_.rename(from, to); }
    void addHardLink(const std::string& path, const std::string& target) { disk_.addHardLink(path, target); }
    std::string full(const std::string& path) const { return "/home/player/" + path; }
    std::optional<std::string> contents(const std::string& path) const { return disk_.contents(path); }
    bool isLink(const std::string& path) const { return disk_.isLink(path); }
    unsigned mode(const std::string& path) const { return disk_.mode(path); }
    std::string owner(const std::string& path) const { return disk_.owner(path); }
    std::string listing(const std::string& folder = "") const {
        return disk_.listing(folder.empty() ? "/home/player" : folder);
    }
    std::string save(const std::string& path, std::string_view contents, const std::string& user = "player") {
        disk_.runAs(user);
        const SaveOutcome outcome = replaceFile(steps_, path, contents);
        disk_.runAs("player");
        EXPECT_EQ(disk_.openFiles(), 0) << "a file was left open";
        return outcome.saved ? "saved" : outcome.reason;
    }
    FaultyFileSystem& steps() { return steps_; }
    std::string playerId() const { return "player"; }
    bool hasOtherUsers() const { return true; }
    void clear() {
        disk_ = SimulatedFileSystem();
        steps_.heal();
    }
    SimulatedFileSystem& simulated() { return disk_; }

private:
    SimulatedFileSystem disk_;
    FaultyFileSystem steps_{disk_};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, SaveRules, SimulatedDisk);

// The rules only the simulated disk can show: its clock, its store, and
// another program acting between two steps.
class SavePolicy : public ::testing::Test {
protected:
    std::string save(const std::string& path, const std::string& contents = kNew) {
        return on.save(path, contents);
    }

    SimulatedDisk on;
    SimulatedFileSystem& disk = on.simulated();
    FaultyFileSystem& faulty = on.steps();
};

// A temporary name already taken is passed over for a fresh one, a hundred times at most.
TEST_F(SavePolicy, TakenTemporaryNameIsPassedOverAHundredTimesAtMost) {
    disk.addFile("save1.txt", kOld);
    faulty.fail(FileStep::createLocked, FileProblem::exists, "File exists", 1);
    EXPECT_EQ(save("save1.txt"), "saved");
    faulty.fail(FileStep::createLocked, FileProblem::exists, "File exists", 1, true);
    EXPECT_EQ(save("save1.txt"), "File exists");
    EXPECT_EQ(faulty.calls(FileStep::createLocked), 102);
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

// A system that reports no owners (FAT) saves in a folder open to others as before.
TEST_F(SavePolicy, FileOfNoOwnerInAFolderOpenToOthersIsWritten) {
    disk.addFile("/tmp/save3.txt", kOld, "", 0666);
    EXPECT_EQ(save("/tmp/save3.txt"), "saved");
    EXPECT_EQ(disk.contents("/tmp/save3.txt"), kNew);
}

TEST_F(SavePolicy, CleanUpTakesOnlyThePlayersOwnLeftoversOfThoseMarkedWithHisName) {
    // The save's own temporary file is marked with the player's name.
    disk.addFile("save1.txt", kOld);
    std::string during;
    faulty.before(FileStep::rename, [&] { during = disk.listing("/home/player"); });
    EXPECT_EQ(save("save1.txt"), "saved");
    EXPECT_EQ(during.find(".save1.txt.tvtmp-player-"), 0u) << during;

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
