// The POSIX save on a real file system: what only a real disk shows.
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/posix_files.h"
#include "session.h"

namespace talvoren::testing {
namespace {

const std::string kAnaSave = "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0";

class DiskSave : public GameSession {
protected:
    // Names in the folder, to see that no temporary file stays behind.
    std::string listing(const std::filesystem::path& where) const {
        std::string names;
        for (const auto& entry : std::filesystem::directory_iterator(where)) {
            names += entry.path().filename().string() + " ";
        }
        return names;
    }
    static mode_t modeOf(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
};

TEST_F(DiskSave, ReplacesTheWholeFileKeepsItsModeAndLeavesNothingElse) {
    EXPECT_TRUE(replaceFileAtomicallyPosix("save1.txt", kAnaSave).saved);
    EXPECT_EQ(readFile("save1.txt"), kAnaSave);
    ASSERT_EQ(::chmod("save1.txt", 0600), 0);
    EXPECT_TRUE(replaceFileAtomicallyPosix("save1.txt", "short").saved);
    EXPECT_EQ(readFile("save1.txt"), "short");
    EXPECT_EQ(modeOf("save1.txt"), 0600u);
    EXPECT_EQ(listing(folder), "save1.txt ");

    // A file of the player's that looks like a temporary one is not touched.
    writeFile("save1.txt.tmp", "my notes");
    EXPECT_TRUE(replaceFileAtomicallyPosix("save1.txt", kAnaSave).saved);
    EXPECT_EQ(readFile("save1.txt.tmp"), "my notes");
}

TEST_F(DiskSave, FailuresGiveTheSystemsReasonAndKeepTheOldSave) {
    const SaveOutcome nowhere = replaceFileAtomicallyPosix("no-such-folder/save1.txt", kAnaSave);
    EXPECT_FALSE(nowhere.saved);
    EXPECT_EQ(nowhere.reason, "No such file or directory");

    std::filesystem::create_directory(folder / "save1.txt");
    EXPECT_EQ(replaceFileAtomicallyPosix("save1.txt", kAnaSave).reason, "Is a directory");
    std::filesystem::remove(folder / "save1.txt");

    // Read-only: refused even for a user whom permissions do not stop.
    writeFile("save1.txt", "old save");
    ASSERT_EQ(::chmod("save1.txt", 0444), 0);
    const SaveOutcome readOnly = replaceFileAtomicallyPosix("save1.txt", kAnaSave);
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
    const SaveOutcome tooBig = replaceFileAtomicallyPosix("save1.txt", std::string(4096, 'z'));
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
    EXPECT_TRUE(replaceFileAtomicallyPosix("save1.txt", kAnaSave).saved);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "save1.txt"));
    EXPECT_EQ(readFile("elsewhere/saves/mine.txt"), kAnaSave);
    EXPECT_EQ(listing(folder / "elsewhere" / "saves"), "mine.txt ");

    // A link to a link, the last one relative to its own folder and naming
    // a save not made yet.
    std::filesystem::remove(folder / "save1.txt");
    std::filesystem::create_symlink("saves/new.txt", folder / "elsewhere" / "hop");
    std::filesystem::create_symlink(folder / "elsewhere" / "hop", folder / "save1.txt");
    EXPECT_TRUE(replaceFileAtomicallyPosix("save1.txt", "first").saved);
    EXPECT_EQ(readFile("elsewhere/saves/new.txt"), "first");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "elsewhere" / "hop"));

    // A loop of links ends with a reason, not a hang.
    std::filesystem::create_symlink("loop-b", folder / "loop-a");
    std::filesystem::create_symlink("loop-a", folder / "loop-b");
    EXPECT_EQ(replaceFileAtomicallyPosix("loop-a", "x").reason, "Too many levels of symbolic links");
}

TEST_F(DiskSave, PipeNamedLikeTheSaveIsNeitherWaitedOnNorWritten) {
    ASSERT_EQ(::mkfifo("save1.txt", 0644), 0);
    EXPECT_EQ(openForReadingPosix("save1.txt"), nullptr);
    EXPECT_EQ(replaceFileAtomicallyPosix("save1.txt", kAnaSave).reason, "Not a regular file");
    writeFile("plain.txt", "abc");
    const auto file = openForReadingPosix("plain.txt");
    ASSERT_NE(file, nullptr);
    char buffer[8];
    EXPECT_EQ(file->read(buffer, sizeof buffer), 3);
    EXPECT_EQ(file->read(buffer, sizeof buffer), 0);
}

}  // namespace
}  // namespace talvoren::testing
#endif
