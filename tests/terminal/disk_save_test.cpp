// The real game saving on a real file system, in the cases only a real one
// shows: a full disk, a folder closed to the player, a read-only save and a
// save kept elsewhere through a link. Where the tests run as root, the game
// runs as the user nobody (through setpriv), since root passes every
// permission check; the full disk is a small tmpfs, where mounting is allowed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pty_game.h"

namespace talvoren::terminal_testing {
namespace {

namespace fs = std::filesystem;

// A save at the end of the act, whose next run saves at once. The extra
// 15th line shows whether the game rewrote the file: its own save has none.
const std::string kOldSave = "Act 1\nAna\n21\n5\n5\n5\n7\n0\n25\n50\n0\n1\n6\n10\nextra";
const std::string kNewSave = "Act 1\nAna\n21\n5\n5\n5\n7\n0\n25\n50\n0\n1\n6\n10";
const char* const kSaved = "All your game data has been saved";

struct GameRun {
    bool started = false;  // false when the game could not be started as asked
    int status = -1;
    std::string output;
};

bool asRoot() {
    return ::geteuid() == 0;
}

// Plays "Load Game" and the end of the act in `where`, as nobody when root.
GameRun playTheEnd(const ScratchFolder& scratch, const fs::path& where) {
    // A copy of the binary in the scratch folder, which nobody can reach
    // whatever the permissions of the build folder.
    const fs::path binary = scratch.path() / "talvoren";
    if (!fs::exists(binary)) fs::copy_file(gameBinary(), binary);
    fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    scratch.write("input.txt", "4\n\n");
    const std::string input = (scratch.path() / "input.txt").string();
    const std::string folder = where.string();
    const std::string program = binary.string();
    std::vector<std::string> words;
    if (asRoot()) words = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    words.push_back(program);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(input.c_str(), O_RDONLY);
        if (in < 0 || ::chdir(folder.c_str()) != 0) ::_exit(126);
        ::dup2(in, STDIN_FILENO);
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::dup2(pipeEnds[1], STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    GameRun run;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    char buffer[4096];
    for (;;) {
        pollfd ready{pipeEnds[0], POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            break;
        }
        if (::poll(&ready, 1, 100) <= 0) continue;
        const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        run.output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    ::waitpid(child, &run.status, 0);
    run.started =
        !(WIFEXITED(run.status) && (WEXITSTATUS(run.status) == 126 || WEXITSTATUS(run.status) == 127));
    return run;
}

std::string readAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

// Names in a folder, for failure messages and to see that nothing is left.
std::string listing(const fs::path& folder) {
    std::vector<std::string> sorted;
    for (const auto& entry : fs::directory_iterator(folder))
        sorted.push_back(entry.path().filename().string());
    std::sort(sorted.begin(), sorted.end());
    std::string names;
    for (const std::string& name : sorted) names += name + " ";
    return names;
}

class DiskSave : public ::testing::Test {
protected:
    void SetUp() override {
        if (asRoot() && ::access("/usr/bin/setpriv", X_OK) != 0 && ::access("/bin/setpriv", X_OK) != 0) {
            GTEST_SKIP() << "running as root without setpriv: cannot play as an ordinary user";
        }
        saves = scratch.path() / "saves";
        fs::create_directory(saves);
    }
    // The folder and save as the player (nobody, when root) owns them.
    void handToPlayer(const fs::path& path) const {
        if (asRoot() && ::chown(path.c_str(), 65534, 65534) != 0) FAIL() << "chown: " << std::strerror(errno);
    }
    ScratchFolder scratch;
    fs::path saves;
};

TEST_F(DiskSave, FolderClosedToThePlayerStillTakesTheSaveInPlace) {
    writeAll(saves / "save1.txt", kOldSave);
    handToPlayer(saves / "save1.txt");
    fs::permissions(saves / "save1.txt", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(saves, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                               fs::perms::others_exec);  // the player may not add files here
    const GameRun run = playTheEnd(scratch, saves);
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_NE(run.output.find(kSaved), std::string::npos) << run.output;
    EXPECT_EQ(readAll(saves / "save1.txt"), kNewSave);
    EXPECT_EQ(listing(saves), "save1.txt ");
    fs::permissions(saves, fs::perms::owner_all);
}

TEST_F(DiskSave, ReadOnlySaveIsKeptAndTheGameSaysWhy) {
    writeAll(saves / "save1.txt", kOldSave);
    handToPlayer(saves);
    handToPlayer(saves / "save1.txt");
    fs::permissions(saves / "save1.txt", fs::perms::owner_read | fs::perms::others_read);
    const GameRun run = playTheEnd(scratch, saves);
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_NE(run.output.find("You have finished act 1!\n"
                              "Unable to save the game to save1.txt: Permission denied\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find(kSaved), std::string::npos);
    EXPECT_EQ(readAll(saves / "save1.txt"), kOldSave);
    EXPECT_EQ(listing(saves), "save1.txt ");
}

TEST_F(DiskSave, LinkedSaveIsReplacedWhereItLivesAndStaysALink) {
    const fs::path elsewhere = scratch.path() / "elsewhere";
    fs::create_directory(elsewhere);
    writeAll(elsewhere / "mine.txt", kOldSave);
    fs::create_symlink("../elsewhere/mine.txt", saves / "save1.txt");
    handToPlayer(saves);
    handToPlayer(elsewhere);
    handToPlayer(elsewhere / "mine.txt");
    const GameRun run = playTheEnd(scratch, saves);
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_NE(run.output.find(kSaved), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_symlink(saves / "save1.txt"));
    EXPECT_EQ(readAll(elsewhere / "mine.txt"), kNewSave);
    EXPECT_EQ(listing(elsewhere), "mine.txt ");
}

TEST_F(DiskSave, FullDiskKeepsTheOldSaveAndSaysSo) {
    const fs::path disk = scratch.path() / "disk";
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0777") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "): the full disk is tried on the simulated console only";
    }
    writeAll(disk / "save1.txt", kOldSave);
    handToPlayer(disk / "save1.txt");
    {
        // Fill every block that is left.
        const int filler = ::open((disk / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string block(4096, 'x');
        while (filler >= 0 && ::write(filler, block.data(), block.size()) > 0) {
        }
        if (filler >= 0) ::close(filler);
    }
    const GameRun run = playTheEnd(scratch, disk);
    const std::string left = readAll(disk / "save1.txt");
    const std::string names = listing(disk);
    ::umount(disk.c_str());
    ASSERT_TRUE(run.started) << run.output;
    EXPECT_NE(run.output.find("Unable to save the game to save1.txt: No space left on device\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find(kSaved), std::string::npos);
    EXPECT_EQ(left, kOldSave);
    EXPECT_EQ(names, "filler save1.txt ");
}

}  // namespace
}  // namespace talvoren::terminal_testing
