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
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "faulty_file_system.h"
#include "platform/posix_files.h"
#include "platform/save_policy.h"
#include "save_rules.h"
#include "scratch_folder.h"
#include "session.h"
#include "transcript_text.h"

namespace talvoren::testing {
namespace {

const std::string kAnaSave = "Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0";

SaveOutcome saveOnDisk(const std::string& path, std::string_view contents) {
    return replaceFile(nativeFileSystem(), path, contents);
}

// Runs `work` in a child process, which becomes the user nobody when
// `becomePlayer` and we are root; what the child said, or how it ended.
std::string runInChild(bool becomePlayer, const std::function<std::string()>& work) {
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
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "child failed: " + std::to_string(status);
}

constexpr uid_t kNobody = 65534;

// The names in a folder, sorted, each followed by a space: to see that no
// temporary file stays behind.
std::string listingOf(const std::filesystem::path& where) {
    std::set<std::string> sorted;
    for (const auto& entry : std::filesystem::directory_iterator(where)) {
        sorted.insert(entry.path().filename().string());
    }
    std::string names;
    for (const std::string& name : sorted) names += name + " ";
    return names;
}

std::string outcomeOf(const SaveOutcome& outcome) {
    return outcome.saved ? "saved" : outcome.reason;
}

// The real disk as a disk of save_rules.h: the player's folder in a scratch
// folder, and where we are root the player is the user nobody, whose saves
// are made in a child process, and other users' files can be made.
class RealDisk {
public:
    RealDisk() : home_(scratch_.path() / "home"), umask_(::umask(022)) {
        ::chmod(scratch_.path().c_str(), 0755);
        std::filesystem::create_directory(home_);
        giveTo(home_, "player");
    }
    ~RealDisk() {
        clear();
        ::umask(umask_);
    }
    RealDisk(const RealDisk&) = delete;
    RealDisk& operator=(const RealDisk&) = delete;

    void addFolder(const std::string& path, unsigned mode, const std::string& owner = "player") {
        std::filesystem::create_directory(at(path));
        giveTo(at(path), owner);
        ::chmod(at(path).c_str(), mode);
    }
    void addFile(const std::string& path, std::string_view contents, unsigned mode = 0644,
                 const std::string& owner = "player") {
        std::filesystem::remove(at(path));
        std::ofstream(at(path), std::ios::binary) << contents;
        giveTo(at(path), owner);  // before the mode, which a change of owner would cut
        ::chmod(at(path).c_str(), mode);
    }
    void addLink(const std::string& path, const std::string& target, const std::string& owner = "player") {
        std::filesystem::remove(at(path));
        std::filesystem::create_symlink(target, at(path));
        giveTo(at(path), owner);
    }
    void addPipe(const std::string& path) {
        ::mkfifo(at(path).c_str(), 0644);
        giveTo(at(path), "player");
    }
    void setMode(const std::string& path, unsigned mode) { ::chmod(at(path).c_str(), mode); }
    void holdLock(const std::string& path) {
        held_.push_back(::open(at(path).c_str(), O_RDONLY | O_CLOEXEC));
        ::flock(held_.back(), LOCK_EX | LOCK_NB);
    }
    void rename(const std::string& from, const std::string& to) { std::filesystem::rename(at(from), at(to)); }
    void addHardLink(const std::string& path, const std::string& target) {
        std::filesystem::remove(at(path));
        std::filesystem::create_hard_link(at(target), at(path));
    }
    std::string full(const std::string& path) const { return at(path).string(); }
    std::optional<std::string> contents(const std::string& path) const {
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(at(path)))) return std::nullopt;
        std::ifstream in(at(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool isLink(const std::string& path) const { return std::filesystem::is_symlink(at(path)); }
    unsigned mode(const std::string& path) const {
        struct stat info {};
        return ::lstat(at(path).c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
    std::string owner(const std::string& path) const {
        struct stat info {};
        if (::lstat(at(path).c_str(), &info) != 0) return {};
        return info.st_uid == uidOf("player") ? "player" : info.st_uid == 0 ? "root" : "another user";
    }
    std::string listing(const std::string& folder = "") const { return listingOf(at(folder)); }
    // Root's saves are made as we are; the player's, as nobody where we are root.
    std::string save(const std::string& path, std::string_view contents, const std::string& user = "player") {
        const std::string where = full(path);
        const auto work = [&] { return outcomeOf(replaceFile(steps_, where, contents)); };
        if (user == "root" && !hasOtherUsers()) return "not root";
        return user == "player" && hasOtherUsers() ? runInChild(true, work) : work();
    }
    FaultyFileSystem& steps() { return steps_; }
    std::string playerId() const { return std::to_string(uidOf("player")); }
    bool hasOtherUsers() const { return ::geteuid() == 0; }
    void clear() {
        steps_.heal();
        for (const int fd : held_) ::close(fd);
        held_.clear();
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home_)) {
            if (!entry.is_symlink() && entry.is_directory()) ::chmod(entry.path().c_str(), 0755);
        }
        for (const auto& entry : std::filesystem::directory_iterator(home_))
            std::filesystem::remove_all(entry);
    }

private:
    std::filesystem::path at(const std::string& path) const { return path.empty() ? home_ : home_ / path; }
    uid_t uidOf(const std::string& user) const {
        if (user == "player") return hasOtherUsers() ? kNobody : ::geteuid();
        if (user == "root") return 0;
        return user == "ana" ? 2 : 1;  // bin and daemon
    }
    void giveTo(const std::filesystem::path& path, const std::string& owner) const {
        if (hasOtherUsers()) ::lchown(path.c_str(), uidOf(owner), uidOf(owner));
    }

    test_support::ScratchFolder scratch_{"disk"};
    std::filesystem::path home_;
    mode_t umask_;
    FaultyFileSystem steps_{nativeFileSystem()};
    std::vector<int> held_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(RealDisk, SaveRules, RealDisk);

class DiskSave : public GameSession {
protected:
    // Runs `work` as the player: in a child process that is the user nobody
    // when we are root. Returns what `work` returned, or why the child failed.
    std::string asPlayer(const std::function<std::string()>& work) {
        ::chmod(folder.c_str(), 0755);
        return runInChild(true, work);
    }
    // Hands a file to the player that asPlayer plays.
    static void giveToPlayer(const std::filesystem::path& path) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
    }
};

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
        const std::string said = runInChild(inPlace, [&] {
            rlimit tight{};
            tight.rlim_cur = 16;
            tight.rlim_max = 16;
            if (::setrlimit(RLIMIT_FSIZE, &tight) != 0) return std::string("no limit");
            return outcomeOf(saveOnDisk(save, std::string(4096, 'z')));
        });
        EXPECT_EQ(said, "File too large");
        EXPECT_EQ(readFile(save), "old save");
    }
    EXPECT_EQ(listingOf(folder / "closed"), "save1.txt ");
    EXPECT_EQ(listingOf(folder), "closed save1.txt ");
    ::chmod((folder / "closed").c_str(), 0755);
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
    const std::string said =
        asPlayer([&] { return outcomeOf(saveOnDisk("disk/save1.txt", std::string(8192, 'n'))); });
    const std::string left = readFile("disk/save1.txt");
    const std::string names = listingOf(disk);
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
                          for (int saves = 0; saves < 30 && listingOf(mine) != kept; ++saves) {
                              if (!saveOnDisk(save, kAnaSave).saved) return std::string("not saved");
                          }
                          return listingOf(mine);
                      }),
                  kept);
        ::close(held);
        for (const auto& entry : std::filesystem::directory_iterator(mine)) std::filesystem::remove(entry);
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
    EXPECT_EQ(run(asThePlayer, [&] { return outcomeOf(saveOnDisk(save, kAnaSave)); }), "saved");
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
    EXPECT_EQ(outcomeOf(replaceFile(disk, "save1.txt", kAnaSave)), "File too large");
    EXPECT_EQ(std::filesystem::file_size(folder / "save1.txt"), 20ULL << 30);
}

}  // namespace
}  // namespace talvoren::testing
#endif
