#include "scratch_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace talvoren::test_support {

namespace {

// Random bits, the clock and a count: even where the random device is weak,
// two processes (or two folders of one process) do not pick the same name,
// and create_directory refuses a name that is taken all the same.
std::string uniqueSuffix() {
    static std::atomic<unsigned> made{0};
    std::random_device entropy;
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    std::mt19937_64 mix(static_cast<std::uint64_t>(ticks) ^ (std::uint64_t{entropy()} << 32) ^ entropy());
    return std::to_string(mix() % 1'000'000'000'000ULL) + "-" + std::to_string(made++);
}

}  // namespace

std::filesystem::path pictureFolder() {
    return TALVOREN_DATA_DIR;
}

ScratchFolder::ScratchFolder(std::string_view label) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / ("talvoren-" + std::string(label) + "-" + uniqueSuffix());
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("no scratch folder could be made under " + base.string());
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::write(const std::filesystem::path& name, std::string_view contents) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

std::string ScratchFolder::read(const std::filesystem::path& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ScratchFolder::holds(const std::filesystem::path& name) const {
    std::error_code ignored;
    return std::filesystem::exists(path_ / name, ignored);
}

void ScratchFolder::addPictures() const {
    for (const char* name : {"bear.txt", "hippopotamus.txt", "wasp.txt", "raven.txt"}) {
        std::filesystem::copy_file(pictureFolder() / name, path_ / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

}  // namespace talvoren::test_support
