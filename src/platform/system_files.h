// The game's files over a system's file system steps: one adapter for every
// back end, so that each back end gives only its FileSystem.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/files.h"

namespace talvoren {

// Saves by the save policy's rules (replaceFile) and asks `system` for the
// rest; `system` must outlive it.
class SystemFiles final : public Files {
public:
    explicit SystemFiles(FileSystem& system) : system_(system) {}

    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override;
    SaveOutcome replace(const std::string& path, std::string_view contents) override;
    std::string dataFolder() override;
    std::string executableFolder() override;
    std::string_view lineEnd() const override;

private:
    FileSystem& system_;
};

}  // namespace talvoren
