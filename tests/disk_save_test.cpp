// The POSIX save on a real file system: what only a real disk shows. Root
// passes every permission check, so where the tests run as root the player's
// side runs in a child process as the user nobody.
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "faulty_file_system.h"
#include "platform/posix_files.h"
#include "platform/save_policy.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kAnaSave = "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0";

SaveOutcome saveOnDisk(const std::string& path, std::string_view contents) {
    return replaceFile(nativeFileSystem(), path, contents);
}

class DiskSave : public GameSession {
protected:
    // Names in the folder, to see that no temporary file stays behind.
    std::string listing(const std::filesystem::path& where) const {
        std::set<std::string> sorted;
        for (const auto& entry : std::filesystem::directory_iterator(where)) {
            sorted.insert(entry.path().filename().string());
        }
        std::string names;
        for (const std::string& name : sorted) names += name + " ";
        return names;
    }
    // Runs `work` as the player: in a child process that is the user nobody
    // when we are root. Returns what `work` returned, or why the child failed.
    std::string asPlayer(const std::function<std::string()>& work) {
        ::chmod(folder.c_str(), 0755);
        return inChild(true, work);
    }
    // Runs `work` in a child process, which becomes the user nobody when
    // `becomePlayer` and we are root; what the child said, or how it ended.
    static std::string inChild(bool becomePlayer, const std::function<std::string()>& work) {
        int report[2];
        if (::pipe(report) != 0) return "no pipe";
        const pid_t child = ::fork();
        if (child == 0) {
            if (becomePlayer && ::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(2);
            }
            const std::string said = work();
            for (std::size_t at = 0; at < said.size();) {
                const ssize_t done = ::write(report[1], said.data() + at, said.size() - at);
                if (done <= 0) ::_exit(3);
                at += static_cast<std::size_t>(done);
            }
            ::_exit(0);
        }
        ::close(report[1]);
        std::string said;
        char piece[4096];
        for (ssize_t got; (got = ::read(report[0], piece, sizeof piece)) > 0;) {
            said.append(piece, static_cast<std::size_t>(got));
        }
        ::close(report[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said
                                                             : "child failed: " + std::to_string(status);
    }
    // The save as the player makes it: "saved" or the failure's reason.
    std::string saveAsPlayer(const std::string& path, const std::string& contents) {
        return asPlayer([&] { return outcomeText(saveOnDisk(path, contents)); });
    }
    static std::string outcomeText(const SaveOutcome& outcome) {
        return outcome.saved ? "saved" : outcome.reason;
    }
    // Hands a file to the player that saveAsPlayer plays.
    static void giveToPlayer(const std::filesystem::path& path) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
    }
    static mode_t modeOf(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
};

TEST_F(DiskSave, ReplacesTheWholeFileKeepsItsModeAndLeavesNothingElse) {
    EXPECT_TRUE(saveOnDisk("save1.txt", kAnaSave).saved);
    EXPECT_EQ(readFile("save1.txt"), kAnaSave);
    ASSERT_EQ(::chmod("save1.txt", 0600), 0);
    EXPECT_TRUE(saveOnDisk("save1.txt", "short").saved);
    EXPECT_EQ(readFile("save1.txt"), "short");
    EXPECT_EQ(modeOf("save1.txt"), 0600u);
    EXPECT_EQ(listing(folder), "save1.txt ");

    // A file of the player's that looks like a temporary one is not touched.
    writeFile("save1.txt.tmp", "my notes");
    EXPECT_TRUE(saveOnDisk("save1.txt", kAnaSave).saved);
    EXPECT_EQ(readFile("save1.txt.tmp"), "my notes");
}

TEST_F(DiskSave, FailuresGiveTheSystemsReasonAndKeepTheOldSave) {
    const SaveOutcome nowhere = saveOnDisk("no-such-folder/save1.txt", kAnaSave);
    EXPECT_FALSE(nowhere.saved);
    EXPECT_EQ(nowhere.reason, "No such file or directory");

    std::filesystem::create_directory(folder / "save1.txt");
    EXPECT_EQ(saveOnDisk("save1.txt", kAnaSave).reason, "Is a directory");
    std::filesystem::remove(folder / "save1.txt");

    // Read-only: refused even for a user whom permissions do not stop.
    writeFile("save1.txt", "old save");
    ASSERT_EQ(::chmod("save1.txt", 0444), 0);
    const SaveOutcome readOnly = saveOnDisk("save1.txt", kAnaSave);
    EXPECT_FALSE(readOnly.saved);
    EXPECT_EQ(readOnly.reason, "Permission denied");
    EXPECT_EQ(readFile("save1.txt"), "old save");
    EXPECT_EQ(modeOf("save1.txt"), 0444u);
    ::chmod("save1.txt", 0644);
}

// Under a file size limit (ulimit -f) a save that outgrows it fails with the
// system's reason, and the game goes on: by rename, the temporary file goes;
// in place (a folder closed to the player), the old bytes are put back.
TEST_F(DiskSave, FileSizeLimitFailsTheSaveWithoutEndingTheGame) {
    writeFile("save1.txt", "old save");
    std::filesystem::create_directory(folder / "closed");
    writeFile("closed/save1.txt", "old save");
    giveToPlayer(folder / "closed" / "save1.txt");
    ASSERT_EQ(::chmod((folder / "closed").c_str(), 0555), 0);
    ::chmod(folder.c_str(), 0755);
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "by rename");
        const std::string save = inPlace ? "closed/save1.txt" : "save1.txt";
        const std::string said = inChild(inPlace, [&] {
            rlimit tight{};
            tight.rlim_cur = 16;
            tight.rlim_max = 16;
            if (::setrlimit(RLIMIT_FSIZE, &tight) != 0) return std::string("no limit");
            return outcomeText(saveOnDisk(save, std::string(4096, 'z')));
        });
        EXPECT_EQ(said, "File too large");
        EXPECT_EQ(readFile(save), "old save");
    }
    EXPECT_EQ(listing(folder / "closed"), "save1.txt ");
    EXPECT_EQ(listing(folder), "closed save1.txt ");
    ::chmod((folder / "closed").c_str(), 0755);
}

TEST_F(DiskSave, SymbolicLinksAreFollowedAndStayLinks) {
    std::filesystem::create_directories(folder / "elsewhere" / "saves");
    writeFile("elsewhere/saves/mine.txt", "old save");
    std::filesystem::create_symlink("elsewhere/saves/mine.txt", folder / "save1.txt");
    EXPECT_TRUE(saveOnDisk("save1.txt", kAnaSave).saved);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "save1.txt"));
    EXPECT_EQ(readFile("elsewhere/saves/mine.txt"), kAnaSave);
    EXPECT_EQ(listing(folder / "elsewhere" / "saves"), "mine.txt ");

    // A link to a link, the last one relative to its own folder and naming
    // a save not made yet.
    std::filesystem::remove(folder / "save1.txt");
    std::filesystem::create_symlink("saves/new.txt", folder / "elsewhere" / "hop");
    std::filesystem::create_symlink(folder / "elsewhere" / "hop", folder / "save1.txt");
    EXPECT_TRUE(saveOnDisk("save1.txt", "first").saved);
    EXPECT_EQ(readFile("elsewhere/saves/new.txt"), "first");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "elsewhere" / "hop"));

    // A loop of links ends with a reason, not a hang.
    std::filesystem::create_symlink("loop-b", folder / "loop-a");
    std::filesystem::create_symlink("loop-a", folder / "loop-b");
    EXPECT_EQ(saveOnDisk("loop-a", "x").reason, "Too many levels of symbolic links");
}

TEST_F(DiskSave, PipeNamedLikeTheSaveIsNeitherWaitedOnNorWritten) {
    ASSERT_EQ(::mkfifo("save1.txt", 0644), 0);
    EXPECT_EQ(nativeFileSystem().openForReading("save1.txt"), nullptr);
    EXPECT_EQ(saveOnDisk("save1.txt", kAnaSave).reason, "Not a regular file");
}

TEST_F(DiskSave, FolderClosedToThePlayerStillTakesTheSaveInPlace) {
    std::filesystem::create_directory(folder / "closed");
    writeFile("closed/save1.txt", "an older and longer save");
    giveToPlayer(folder / "closed" / "save1.txt");
    ASSERT_EQ(::chmod((folder / "closed").c_str(), 0555), 0);  // no new files for the player
    EXPECT_EQ(saveAsPlayer("closed/save1.txt", kAnaSave), "saved");
    EXPECT_EQ(readFile("closed/save1.txt"), kAnaSave);
    EXPECT_EQ(listing(folder / "closed"), "save1.txt ");
    ::chmod((folder / "closed").c_str(), 0755);
}

TEST_F(DiskSave, InAStickyFolderOpenToAllOnlyLinksOfThePlayerOrTheFoldersOwnerAreFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving links to other users needs root; the simulated disk tries it";
    const std::filesystem::path shared = folder / "shared";  // like /tmp: root's, sticky, open to all
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    writeFile("precious.txt", "old save");
    giveToPlayer(folder / "precious.txt");
    const std::string link = (shared / "save1.txt").string();
    std::filesystem::create_symlink(folder / "precious.txt", link);
    const auto linkOwnedBy = [&link](uid_t owner) { ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0); };

    linkOwnedBy(1);  // a third user's link steers neither the player nor root
    EXPECT_EQ(saveAsPlayer(link, kAnaSave), "Permission denied");
    EXPECT_EQ(saveOnDisk(link, kAnaSave).reason, "Permission denied");
    linkOwnedBy(65534);  // the player's, but not root's
    EXPECT_EQ(saveOnDisk(link, kAnaSave).reason, "Permission denied");
    EXPECT_EQ(readFile("precious.txt"), "old save");
    EXPECT_EQ(listing(shared), "save1.txt ");

    EXPECT_EQ(saveAsPlayer(link, "the player's link"), "saved");
    EXPECT_EQ(readFile("precious.txt"), "the player's link");
    linkOwnedBy(0);  // the folder's owner's
    EXPECT_EQ(saveAsPlayer(link, "the folder owner's link"), "saved");
    EXPECT_EQ(readFile("precious.txt"), "the folder owner's link");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST_F(DiskSave, GoodSaveRemovesTemporaryFilesOfCrashedGamesButNotOneARunningGameHolds) {
    writeFile(".save1.txt.tvtmp-Ab3dE9", "half a save of a crashed game");
    writeFile(".save1.txt.tvtmp-Zz9zZ9", "a save another game is writing");
    writeFile(".save1.txt.backup", "my copy");
    const int held = ::open(".save1.txt.tvtmp-Zz9zZ9", O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_TRUE(saveOnDisk("save1.txt", kAnaSave).saved);
    EXPECT_EQ(listing(folder), ".save1.txt.backup .save1.txt.tvtmp-Zz9zZ9 save1.txt ");
    ::close(held);  // that game ended without renaming it
    EXPECT_TRUE(saveOnDisk("save1.txt", kAnaSave).saved);
    EXPECT_EQ(listing(folder), ".save1.txt.backup save1.txt ");
}

TEST_F(DiskSave, FullDiskKeepsTheOldSaveAndSaysWhy) {
    const std::filesystem::path disk = folder / "disk";
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0777") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); the full disk is tried on the simulated console only";
    }
    writeFile("disk/save1.txt", kAnaSave);
    giveToPlayer(disk / "save1.txt");
    const int filler = ::open((disk / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string block(4096, 'x');
    while (filler >= 0 && ::write(filler, block.data(), block.size()) > 0) {
    }
    ::close(filler);
    const std::string said = saveAsPlayer("disk/save1.txt", std::string(8192, 'n'));
    const std::string left = readFile("disk/save1.txt");
    const std::string names = listing(disk);
    ::umount(disk.c_str());
    EXPECT_EQ(said, "No space left on device");
    EXPECT_EQ(left, kAnaSave);
    EXPECT_EQ(names, "filler save1.txt ");
}

// What another user who may add names to the folder the game is started in
// can try. Each attack runs as we are (root, where the suite runs as root)
// and as the player, who is nobody then.
class HostileFolder : public DiskSave {
protected:
    // A folder of the player's inside the scratch folder.
    std::filesystem::path playersFolder(const std::string& name) {
        const std::filesystem::path where = folder / name;
        std::filesystem::create_directory(where);
        giveToPlayer(where);
        return where;
    }
    // `work` as we are, or as the player.
    std::string run(bool asThePlayer, const std::function<std::string()>& work) {
        return asThePlayer ? asPlayer(work) : work();
    }
};

TEST_F(HostileFolder, AnotherUsersLinkIsNeverFollowedNotEvenToAFileNotMadeYet) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving links to other users needs root; the simulated disk tries it";
    writeFile("notes.txt", "my notes");
    giveToPlayer(folder / "notes.txt");
    // Like /tmp (sticky and open to all), a shared folder, and a team's folder.
    for (const auto& [name, mode] :
         {std::pair<std::string, mode_t>{"sticky", 01777}, {"shared", 0777}, {"team", 0775}}) {
        const std::filesystem::path shared = folder / name;
        std::filesystem::create_directory(shared);
        ASSERT_EQ(::chmod(shared.c_str(), mode), 0);
        const std::string toNotes = (shared / "save1.txt").string();
        const std::string toNothing = (shared / "save2.txt").string();
        std::filesystem::create_symlink(folder / "notes.txt", toNotes);
        std::filesystem::create_symlink(folder / "not-yet.txt", toNothing);
        ASSERT_EQ(::lchown(toNotes.c_str(), 1, 1), 0);  // the user daemon's links
        ASSERT_EQ(::lchown(toNothing.c_str(), 1, 1), 0);
        for (const bool asThePlayer : {false, true}) {
            SCOPED_TRACE(name + (asThePlayer ? " as the player" : " as root"));
            EXPECT_EQ(run(asThePlayer, [&] { return outcomeText(saveOnDisk(toNotes, kAnaSave)); }),
                      "Permission denied");
            EXPECT_EQ(run(asThePlayer, [&] { return outcomeText(saveOnDisk(toNothing, kAnaSave)); }),
                      "Permission denied");
        }
        EXPECT_EQ(readFile("notes.txt"), "my notes");
        EXPECT_FALSE(fileExists("not-yet.txt"));
        EXPECT_EQ(listing(shared), "save1.txt save2.txt ");
    }
}

TEST_F(HostileFolder, InPlaceRewriteNeverWritesALinkOrFileSwappedInAfterTheCheck) {
    const std::filesystem::path mine = playersFolder("mine");
    const std::string save = (mine / "save1.txt").string();
    writeFile("notes.txt", "my notes");
    giveToPlayer(folder / "notes.txt");
    // A symbolic link or a hard link to the player's notes.
    for (const bool symbolic : {true, false}) {
        for (const bool asThePlayer : {false, true}) {
            SCOPED_TRACE(std::string(symbolic ? "symbolic" : "hard") + (asThePlayer ? " as the player" : ""));
            writeFile("mine/save1.txt", kAnaSave);
            giveToPlayer(save);
            const std::string said = run(asThePlayer, [&] {
                FaultyFileSystem disk(nativeFileSystem());
                // The folder refuses the new file, so the save is rewritten in
                // place; just before the file is opened, its name changes hands.
                disk.fail(FileStep::createLocked, FileProblem::accessDenied, "Permission denied");
                disk.before(FileStep::openExisting, [&] {
                    std::filesystem::remove(save);
                    if (symbolic) {
                        std::filesystem::create_symlink(folder / "notes.txt", save);
                    } else {
                        std::filesystem::create_hard_link(folder / "notes.txt", save);
                    }
                });
                return outcomeText(replaceFile(disk, save, "a new save"));
            });
            EXPECT_EQ(said, "The file was replaced during the save");
            EXPECT_EQ(readFile("notes.txt"), "my notes");
            EXPECT_EQ(std::filesystem::is_symlink(save), symbolic);
            EXPECT_EQ(listing(mine), "save1.txt ");
            std::filesystem::remove(save);
        }
    }
}

TEST_F(HostileFolder, NewSaveKeepsOnlyThePermissionBits) {
    const std::filesystem::path mine = playersFolder("mine");
    const std::string save = (mine / "save1.txt").string();
    for (const mode_t mode : {04755U, 02755U, 01755U, 06777U}) {
        for (const bool asThePlayer : {false, true}) {
            SCOPED_TRACE(std::to_string(mode) + (asThePlayer ? " as the player" : ""));
            writeFile("mine/save1.txt", "old save");
            giveToPlayer(save);
            ASSERT_EQ(::chmod(save.c_str(), mode), 0);
            if (modeOf(save) != mode) GTEST_SKIP() << "the file system drops mode " << mode;
            EXPECT_EQ(run(asThePlayer, [&] { return outcomeText(saveOnDisk(save, kAnaSave)); }), "saved");
            EXPECT_EQ(modeOf(save), mode & 0777);
        }
    }
}

// Each save spends about 100 ms at most on leftovers: 1,000 take one save
// on an idle machine and a few on a busy one, each going on from the last.
TEST_F(HostileFolder, ThousandLeftoversOfCrashedGamesGoWithinAFewSaves) {
    const std::filesystem::path mine = playersFolder("mine");
    const std::string save = (mine / "save1.txt").string();
    for (const bool asThePlayer : {false, true}) {
        SCOPED_TRACE(asThePlayer ? "as the player" : "as we are");
        // Leftovers of the saving user's own crashed games, one still held by
        // a running game, and where we are root one of another user's.
        const auto leave = [&](const std::string& name) {
            writeFile("mine/" + name, "half a save");
            if (asThePlayer) giveToPlayer(mine / name);
        };
        for (int crash = 0; crash < 1000; ++crash) {
            const std::string number = std::to_string(100000 + crash);
            leave(".save1.txt.tvtmp-L" + number.substr(1));
        }
        leave(".save1.txt.tvtmp-HELDAB");
        const int held = ::open((mine / ".save1.txt.tvtmp-HELDAB").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        std::string kept = ".save1.txt.tvtmp-HELDAB save1.txt ";
        if (::geteuid() == 0) {
            writeFile("mine/.save1.txt.tvtmp-Others", "another user's");
            ASSERT_EQ(::chown((mine / ".save1.txt.tvtmp-Others").c_str(), 1, 1), 0);
            kept = ".save1.txt.tvtmp-HELDAB .save1.txt.tvtmp-Others save1.txt ";
        }
        EXPECT_EQ(run(asThePlayer,
                      [&] {
                          for (int saves = 0; saves < 30 && listing(mine) != kept; ++saves) {
                              if (!saveOnDisk(save, kAnaSave).saved) return std::string("not saved");
                          }
                          return listing(mine);
                      }),
                  kept);
        ::close(held);
        for (const auto& entry : std::filesystem::directory_iterator(mine)) std::filesystem::remove(entry);
    }
}

TEST_F(HostileFolder, AnotherUsersSaveInASharedFolderIsLeftUntouched) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root; the simulated disk tries it";
    for (const auto& [name, mode] : {std::pair<std::string, mode_t>{"sticky", 01777}, {"shared", 0777}}) {
        const std::filesystem::path shared = folder / name;
        std::filesystem::create_directory(shared);
        ASSERT_EQ(::chmod(shared.c_str(), mode), 0);
        const std::string save = (shared / "save1.txt").string();
        writeFile(name + "/save1.txt", "the daemon's save");
        ASSERT_EQ(::chown(save.c_str(), 1, 1), 0);
        ASSERT_EQ(::chmod(save.c_str(), 0666), 0);
        for (const bool asThePlayer : {false, true}) {
            SCOPED_TRACE(name + (asThePlayer ? " as the player" : " as root"));
            EXPECT_EQ(run(asThePlayer, [&] { return outcomeText(saveOnDisk(save, kAnaSave)); }),
                      "Permission denied");
        }
        EXPECT_EQ(readFile(name + "/save1.txt"), "the daemon's save");
        EXPECT_EQ(listing(shared), "save1.txt ");
    }
}

// Two links that trade places without pause (renameat2's exchange), as
// another user's would with the player's: every look at the name gives the
// target of the very link it gave the identity (and owner) of.
TEST_F(HostileFolder, LinksTradingPlacesNeverLendOneTheOthersTarget) {
    std::filesystem::create_symlink("a", folder / "one");
    std::filesystem::create_symlink("b", folder / "other");
    struct stat a {};
    ASSERT_EQ(::lstat((folder / "one").c_str(), &a), 0);
    if (::renameat2(AT_FDCWD, "one", AT_FDCWD, "other", RENAME_EXCHANGE) != 0) {
        GTEST_SKIP() << "the file system cannot exchange two names (" << std::strerror(errno) << ")";
    }
    const pid_t swapper = ::fork();
    if (swapper == 0) {
        for (;;) ::renameat2(AT_FDCWD, "one", AT_FDCWD, "other", RENAME_EXCHANGE);
    }
    // Through one handle of the link, and by a look before and after reading it.
    for (const auto lookup :
         {PosixFileSystem::LinkLookup::oneHandle, PosixFileSystem::LinkLookup::twoLooks}) {
        PosixFileSystem system(lookup);
        std::unique_ptr<Folder> open;
        ASSERT_FALSE(system.openFolder(folder.string(), open));
        int lent = 0;
        std::set<std::string> seen;
        for (int look = 0; look < 50'000; ++look) {
            EntryInfo info;
            if (open->look("one", info) || info.kind != EntryKind::link) continue;
            seen.insert(info.target);
            if ((info.file == a.st_ino) != (info.target == "a")) ++lent;
        }
        EXPECT_EQ(seen.size(), 2u) << "the names never traded places during the looks";
        EXPECT_EQ(lent, 0);
    }
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
}

// Another user can fill the folder with names in the game's mark, which are
// passed over by name whoever owns them: the player's own leftovers still go
// at the first save, and the other names stay.
TEST_F(HostileFolder, ManyMarkedNamesOfAnotherUserHideNoLeftoverOfThePlayers) {
    const std::filesystem::path mine = playersFolder("mine");
    const bool asThePlayer = ::geteuid() == 0;
    const std::string player = asThePlayer ? "65534" : std::to_string(::geteuid());
    for (int name = 100'000; name < 112'000; ++name)
        std::ofstream{mine /
                      (".save1.txt.tvtmp-" + std::to_string(::geteuid() + 1) + "-" + std::to_string(name))};
    for (const char* letters : {"aaaaaa", "bbbbbb", "cccccc"}) {
        writeFile("mine/.save1.txt.tvtmp-" + player + "-" + letters, "half a save");
        if (asThePlayer) giveToPlayer(mine / (".save1.txt.tvtmp-" + player + "-" + letters));
    }
    const std::string save = (mine / "save1.txt").string();
    EXPECT_EQ(run(asThePlayer, [&] { return outcomeText(saveOnDisk(save, kAnaSave)); }), "saved");
    const auto names = std::distance(std::filesystem::directory_iterator(mine), {});
    EXPECT_EQ(names, 12'001);
    EXPECT_FALSE(std::filesystem::exists(mine / (".save1.txt.tvtmp-" + player + "-aaaaaa")));
}

TEST_F(HostileFolder, TwentyGigabyteSaveWithoutLineEndsIsNeitherLoadedNorRewritten) {
    writeFile("save1.txt", "Act 1\n");
    if (::truncate("save1.txt", 20LL << 30) != 0) {
        GTEST_SKIP() << "the file system refuses a sparse file of 20 GB (" << std::strerror(errno) << ")";
    }
    for (const bool asThePlayer : {false, true}) {
        SCOPED_TRACE(asThePlayer ? "as the player" : "as we are");
        const std::string said = run(asThePlayer, [this] {
            restartProgram();
            const auto started = std::chrono::steady_clock::now();
            play("4\n\n99\n");
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
            // Told why, Enter awaited, then the main menu once more.
            if (count(kNoGameInTheSave + kPause) != 1 || count("[1] New Game") != 2) return transcript();
            return took.count() < 1.0 ? std::string("told") : "took " + std::to_string(took.count()) + " s";
        });
        EXPECT_EQ(said, "told");
    }
    // Nor is it copied into memory to be rewritten in place.
    FaultyFileSystem disk(nativeFileSystem());
    disk.fail(FileStep::createLocked, FileProblem::accessDenied, "Permission denied");
    EXPECT_EQ(outcomeText(replaceFile(disk, "save1.txt", kAnaSave)), "File too large");
    EXPECT_EQ(std::filesystem::file_size(folder / "save1.txt"), 20ULL << 30);
}

TEST_F(HostileFolder, EightBitControlsOfALoadedNameNeverReachTheTerminal) {
    addPictures();
    // "Zoë", then CSI as UTF-8's C1 control and as a single byte, and a BEL.
    const std::string name =
        "Zo\xc3\xab\xc2\x9b"
        "31m\x9b"
        "0;t\x07";
    const std::string save = saveText(name, 1, 5, 5, 5, 0, 0, 25, 50, 0, 2, 1, 0);
    writeFile("save1.txt", save);
    for (const auto& [encoding, shown] :
         {std::pair<TextEncoding, std::string>{TextEncoding::utf8, "Zo\xc3\xab?31m?0;t?"},
          {TextEncoding::eightBit, "Zo\xc3\xab\xc2?31m?0;t?"}}) {
        for (const bool asThePlayer : {false, true}) {
            const std::string walk = run(asThePlayer, [this, encoding = encoding] {
                restartProgram();
                console.setTextEncoding(encoding);
                play("4\n\n\n1\n");
                return transcript();
            });
            EXPECT_NE(walk.find("OBJECTIVE: Get to the town about 15 miles away.\n" + shown + "\n"),
                      std::string::npos)
                << walk;
            EXPECT_EQ(walk.find('\x9b'), std::string::npos);
            EXPECT_EQ(walk.find('\x07'), std::string::npos);
        }
    }
    EXPECT_EQ(readFile("save1.txt"), save);  // the file keeps the name's bytes
}

}  // namespace
}  // namespace talvoren::testing
#endif
