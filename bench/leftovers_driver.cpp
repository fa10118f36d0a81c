// Times the save on the real disk in three folders: one holding 1,000
// temporary files of crashed games, which the save removes; a clean one; and
// one holding 100,000 names marked as another user's temporary files beside
// 3 of the player's own, which the save removes while it passes the others
// over. `leftovers_driver` prints the counts and times, in milliseconds per
// save: "1000 <crowded> <clean> 100000 <foreign>".
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/save_policy.h"
#include "scratch_folder.h"

namespace {

constexpr int kLeftovers = 1000;
constexpr int kForeignNames = 100'000;
const std::string kSave = "Act 1\nBench\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n3\n0";

void leaveCrashedSaves(const std::filesystem::path& folder) {
    for (int crash = 0; crash < kLeftovers; ++crash) {
        const std::string number = std::to_string(100000 + crash);
        std::ofstream(folder / (".save1.txt.tvtmp-L" + number.substr(1))) << "half a save";
    }
}

// Names in the mark of a user whose id is not ours: passed over by name,
// whoever owns the files.
void leaveForeignNames(const std::filesystem::path& folder) {
    const std::string other = std::to_string(::geteuid() + 1);
    for (int name = 0; name < kForeignNames; ++name) {
        const std::string number = std::to_string(1000000 + name);
        std::ofstream{folder / (".save1.txt.tvtmp-" + other + "-" + number.substr(1))};
    }
}

void leavePlayersOwn(const std::filesystem::path& folder) {
    const std::string player = talvoren::nativeFileSystem().playerId();
    for (const char* letters : {"aaaaaa", "bbbbbb", "cccccc"})
        std::ofstream(folder / (".save1.txt.tvtmp-" + player + "-" + letters)) << "half a save";
}

long namesIn(const std::filesystem::path& folder) {
    return static_cast<long>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// The median of `rounds` saves, each timed alone; `before` runs before each,
// and the save, with the few more that a busy machine may need to finish
// the clean-up it bounds by time, must leave `expected` names in the folder.
template <typename Before>
double millisecondsPerSave(int rounds, Before before, long expected, const char* what) {
    talvoren::test_support::ScratchFolder scratch("bench");
    const std::string save = (scratch.path() / "save1.txt").string();
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        before(scratch.path(), round);
        const auto start = std::chrono::steady_clock::now();
        const talvoren::SaveOutcome outcome =
            talvoren::replaceFile(talvoren::nativeFileSystem(), save, kSave);
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        long names = namesIn(scratch.path());
        for (int more = 0; more < 20 && names != expected; ++more) {
            talvoren::replaceFile(talvoren::nativeFileSystem(), save, kSave);
            names = namesIn(scratch.path());
        }
        if (!outcome.saved || names != expected) {
            std::fprintf(stderr, "leftovers_driver: %s: the save left %ld names, not %ld (%s)\n", what, names,
                         expected, outcome.reason.c_str());
            std::exit(1);
        }
        times.push_back(spent.count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    const auto crashed = [](const std::filesystem::path& folder, int) { leaveCrashedSaves(folder); };
    const auto nothing = [](const std::filesystem::path&, int) {};
    const auto foreign = [](const std::filesystem::path& folder, int round) {
        if (round == 0) leaveForeignNames(folder);
        leavePlayersOwn(folder);
    };
    const double withLeftovers = millisecondsPerSave(7, crashed, 1, "crashed games' files");
    const double clean = millisecondsPerSave(7, nothing, 1, "clean folder");
    const double beside = millisecondsPerSave(5, foreign, 1 + kForeignNames, "another user's names");
    std::printf("%d %.3f %.3f %d %.3f\n", kLeftovers, withLeftovers, clean, kForeignNames, beside);
    return 0;
}
