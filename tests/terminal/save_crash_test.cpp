// The save file under SIGKILL: killed at any moment, even in the middle of
// saving, the game leaves either the whole old save or the whole new one,
// and a later run saves as usual.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pty_game.h"

namespace talvoren::terminal_testing {
namespace {

using Clock = std::chrono::steady_clock;

// A long name makes every save a large write, so kills often land inside one.
const std::string kLongName = [] {
    std::string name;
    while (name.size() < 64 * 1024) name += "Wanderer-of-the-long-road-";
    return name;
}();

std::string saveWith(int strength, int skillPoints) {
    return "Act 1\n" + kLongName + "\n1\n5\n" + std::to_string(strength) + "\n5\n0\n0\n25\n50\n" +
           std::to_string(skillPoints) + "\n1\n3\n0";
}

// Before: one skill point left. After spending it on Strength: none left.
const std::string kOldSave = saveWith(5, 1);
const std::string kNewSave = saveWith(6, 0);

// Starts the game with standard input read from `script` and output dropped.
pid_t startScripted(const ScratchFolder& folder, const std::string& script) {
    folder.write("script.txt", script);
    const std::string input = (folder.path() / "script.txt").string();
    const std::string where = folder.path().string();
    const std::string binary = gameBinary();
    char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child != 0) return child;
    const int in = ::open(input.c_str(), O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || ::chdir(where.c_str()) != 0) ::_exit(126);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    ::execv(binary.c_str(), argv);
    ::_exit(127);
}

// The wait status once the child ends; kills it if it takes longer than `patience`.
std::optional<int> waitForEnd(pid_t child, std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    for (;;) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) return status;
        if (Clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(2ms);
    }
}

std::string withCarriageReturns(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

// A short description of a file that is neither save, for the failure message.
std::string describeDamage(const std::string& contents) {
    std::size_t lines = contents.empty() ? 0 : 1;
    for (const char c : contents) lines += c == '\n' ? 1 : 0;
    return std::to_string(contents.size()) + " bytes in " + std::to_string(lines) + " lines, starting \"" +
           contents.substr(0, 12) + "\"";
}

// The kill moments come from this seed: a fresh one each run, or the one
// named in the environment, so that a torn save can be replayed.
constexpr const char* kSeedVariable = "TALVOREN_KILL_SEED";

std::uint32_t killTrialSeed() {
    const char* given = std::getenv(kSeedVariable);
    if (given != nullptr && *given != '\0') {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(given, &end, 10);
        if (*end == '\0' && value <= 0xFFFF'FFFFULL) return static_cast<std::uint32_t>(value);
        ADD_FAILURE() << kSeedVariable << " is not a number from 0 to 4294967295: " << given;
    }
    return std::random_device{}();
}

TEST(SaveUnderKill, FileIsAlwaysAWholeSave) {
    constexpr int kTrials = 50;
    std::string script = "4\n11\n1\n1\n";  // load, then spend the skill point on Strength
    for (int save = 0; save < 20000; ++save) script += "98\n";

    const std::uint32_t seed = killTrialSeed();
    std::cout << "[ seed     ] " << seed << " (rerun these kills with " << kSeedVariable << "=" << seed
              << ")\n";
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int keptOld = 0;
    int foundNew = 0;
    int leftovers = 0;
    ScratchFolder folder;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        folder.write("save1.txt", kOldSave);
        const pid_t game = startScripted(folder, script);
        ASSERT_GT(game, 0);
        if (trial % 2 == 0) {
            // Any moment from the start: before the load, during the first save or later.
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 25));
        } else {
            // Surely in the middle of the run of saves.
            const auto deadline = Clock::now() + kPatience;
            while (folder.read("save1.txt") != kNewSave && Clock::now() < deadline) {
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        }
        ::kill(game, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(game, &status, 0), game);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << describeStatus(status);

        const std::string left = folder.read("save1.txt");
        if (left == kOldSave) {
            ++keptOld;
        } else if (left == kNewSave) {
            ++foundNew;
        } else {
            ADD_FAILURE() << "torn save: " << describeDamage(left);
        }
        leftovers += temporarySaves(folder);

        // A later run loads what is there and saves over it, leftover
        // temporary files notwithstanding. The file is first rewritten with
        // CR LF line ends, which load the same, to see that the save happens.
        folder.write("save1.txt", withCarriageReturns(left));
        const std::optional<int> after = waitForEnd(startScripted(folder, "4\n98\n99\n"), kPatience);
        ASSERT_TRUE(after.has_value()) << "the later run did not end";
        EXPECT_TRUE(WIFEXITED(*after) && WEXITSTATUS(*after) == 0) << describeStatus(*after);
        EXPECT_EQ(folder.read("save1.txt"), left);
        // Its own temporary file is gone, and so is the one the killed run
        // left, unread: its lock died with that run.
        EXPECT_EQ(temporarySaves(folder), 0);
    }
    // Every second trial waited for the new save, so both outcomes occur.
    EXPECT_GE(foundNew, kTrials / 2);
    std::cout << "[ figures  ] " << kTrials << " kills: " << keptOld << " left the old save, " << foundNew
              << " the new one, " << leftovers << " left a temporary file behind\n";
    RecordProperty("kept_old", keptOld);
    RecordProperty("found_new", foundNew);
    RecordProperty("temporary_leftovers", leftovers);
}

}  // namespace
}  // namespace talvoren::terminal_testing
