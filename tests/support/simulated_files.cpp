#include "simulated_files.h"

#include <algorithm>

#include "platform/save_policy.h"
#include "stdio_file.h"

namespace talvoren {

namespace {

// A real file that reports a read error once `left` bytes have been read.
class ShortFile final : public ReadableFile {
public:
    ShortFile(std::unique_ptr<ReadableFile> file, std::size_t left) : file_(std::move(file)), left_(left) {}
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        if (left_ == 0) return -1;
        const std::ptrdiff_t got = file_->read(buffer, std::min(capacity, left_));
        if (got > 0) left_ -= static_cast<std::size_t>(got);
        return got;
    }

private:
    std::unique_ptr<ReadableFile> file_;
    std::size_t left_;
};

}  // namespace

SimulatedFiles::SimulatedFiles() : disk_(nativeFileSystem()) {
    // A machine that never loses power need not wait for the disk.
    disk_.skipFlushes(true);
}

void SimulatedFiles::failSaves(const std::string& reason) {
    disk_.heal();
    if (!reason.empty()) disk_.fail(FileStep::createLocked, FileProblem::other, reason, 1, true);
}

SaveOutcome SimulatedFiles::replace(const std::string& path, std::string_view contents) {
    return replaceFile(disk_, path, contents);
}

std::unique_ptr<ReadableFile> SimulatedFiles::openForReading(const std::string& path) {
    if (std::find(unopenable_.begin(), unopenable_.end(), path) != unopenable_.end()) return nullptr;
    std::unique_ptr<ReadableFile> file = openRegularFileWithStdio(path);
    for (const auto& [shortPath, bytes] : shortReads_) {
        if (file && shortPath == path) return std::make_unique<ShortFile>(std::move(file), bytes);
    }
    return file;
}

}  // namespace talvoren
