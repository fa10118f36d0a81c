// The files of the tests: the real files of the working folder, saved by the
// game's own save over the real disk, with failures that a test can call for.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "faulty_file_system.h"
#include "platform/files.h"

namespace talvoren {

class SimulatedFiles final : public Files {
public:
    SimulatedFiles();

    // Every later save fails with `reason` ("No space left on device"); an
    // empty reason lets saves work again.
    void failSaves(const std::string& reason);
    // The disk under the saves, for failures of any step.
    FaultyFileSystem& disk() { return disk_; }
    // Opening `path` for reading fails, as for a missing or unreadable file.
    void failOpening(const std::string& path) { unopenable_.push_back(path); }
    // Reading `path` fails with a read error once `bytes` bytes were read.
    void cutReadsShort(const std::string& path, std::size_t bytes) { shortReads_.emplace_back(path, bytes); }
    // Pretends the game is installed with its pictures in `folder`.
    void setInstalledDataFolder(std::string folder) { installedDataFolder_ = std::move(folder); }
    // Pretends the running program lies in `folder`.
    void setExecutableFolder(std::string folder) { executableFolder_ = std::move(folder); }

    SaveOutcome replace(const std::string& path, std::string_view contents) override;
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override;
    std::string dataFolder() override { return installedDataFolder_; }
    std::string executableFolder() override { return executableFolder_; }

private:
    FaultyFileSystem disk_;
    std::vector<std::string> unopenable_;
    std::vector<std::pair<std::string, std::size_t>> shortReads_;
    std::string installedDataFolder_;
    std::string executableFolder_;
};

}  // namespace talvoren
