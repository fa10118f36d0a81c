// The POSIX save on a real file system: what only a real disk shows. Root
// passes every permission check, so where the tests run as root the player's
// side runs in a child process as the user nobody.
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "platform/posix_files.h"
#include "platform/save_policy.h"
#include "session.h"

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
    // The save as the player makes it: in a child that is nobody when we are
    // root. Returns "saved" or the failure's reason.
    std::string saveAsPlayer(const std::string& path, const std::string& contents) {
        ::chmod(folder.c_str(), 0755);
        int report[2];
        if (::pipe(report) != 0) return "no pipe";
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(2);
            }
            const SaveOutcome outcome = saveOnDisk(path, contents);
            const std::string said = outcome.saved ? "saved" : outcome.reason;
            ::_exit(::write(report[1], said.data(), said.size()) < 0 ? 3 : 0);
        }
        ::close(report[1]);
        char said[256] = {};
        const ssize_t got = ::read(report[0], said, sizeof said - 1);
        ::close(report[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return got > 0 ? std::string(said, static_cast<std::size_t>(got))
                       : "child failed: " + std::to_string(status);
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

    // A file size limit makes the write fail part way, as a full disk would.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = previous;
    tight.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const SaveOutcome tooBig = saveOnDisk("save1.txt", std::string(4096, 'z'));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(tooBig.reason, "File too large");
    EXPECT_EQ(readFile("save1.txt"), "old save");
    EXPECT_EQ(listing(folder), "save1.txt ");
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
    EXPECT_EQ(openForReadingPosix("save1.txt"), nullptr);
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

}  // namespace
}  // namespace talvoren::testing
#endif
