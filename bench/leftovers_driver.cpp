// Times the save in a folder holding 1,000 temporary files of crashed games,
// which the save removes, against the same save in a clean folder, on the
// real disk: `leftovers_driver` prints both, in milliseconds per save.
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
const std::string kSave = "Act 1\nBench\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n3\n0";

void leaveCrashedSaves(const std::filesystem::path& folder) {
    for (int crash = 0; crash < kLeftovers; ++crash) {
        const std::string number = std::to_string(100000 + crash);
        std::ofstream(folder / (".save1.txt.tvtmp-L" + number.substr(1))) << "half a save";
    }
}

// The median of seven saves, each timed alone; `leftovers` are put back before each.
double millisecondsPerSave(bool leftovers) {
    talvoren::test_support::ScratchFolder scratch("bench");
    const std::string save = (scratch.path() / "save1.txt").string();
    std::vector<double> times;
    for (int round = 0; round < 7; ++round) {
        if (leftovers) leaveCrashedSaves(scratch.path());
        const auto start = std::chrono::steady_clock::now();
        const talvoren::SaveOutcome outcome =
            talvoren::replaceFile(talvoren::nativeFileSystem(), save, kSave);
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        const auto names = std::distance(std::filesystem::directory_iterator(scratch.path()),
                                         std::filesystem::directory_iterator());
        if (!outcome.saved || names != 1) {
            std::fprintf(stderr, "leftovers_driver: the save left %ld files (%s)\n", static_cast<long>(names),
                         outcome.reason.c_str());
            std::exit(1);
        }
        times.push_back(spent.count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    const double withLeftovers = millisecondsPerSave(true);
    const double clean = millisecondsPerSave(false);
    std::printf("%d %.3f %.3f\n", kLeftovers, withLeftovers, clean);
    return 0;
}
