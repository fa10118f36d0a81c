// File system steps that fail when a test says so: wraps any FileSystem (the
// simulated one, or the real disk of the simulated machine) and makes a
// chosen call of a chosen step fail with a chosen problem and reason, or
// lets a test act on the disk just before it.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace talvoren {

// Every step a save can take, one per primitive of file_system.h.
enum class FileStep {
    openFolder,
    look,
    describeFolder,
    mayWrite,
    createLocked,
    openExisting,
    rename,
    remove,
    syncFolder,
    list,
    removeIfUnheld,
    writeAt,
    readAt,
    truncate,
    syncFile,
    describeFile,
    copyModeAndOwner,
    close,
    commitToStore,
};
inline constexpr std::size_t kFileSteps = static_cast<std::size_t>(FileStep::commitToStore) + 1;

class FaultyFileSystem final : public FileSystem {
public:
    explicit FaultyFileSystem(FileSystem& inner) : inner_(&inner) {}

    // The `nth` call of `step` from now on (1: the next) fails with `problem`,
    // whose reason reads `reason`; with `every`, so does every later call.
    // A failing write first writes half of its bytes, as a full disk does.
    void fail(FileStep step, FileProblem problem, std::string reason, int nth = 1, bool every = false);
    // Runs `action` just before the `nth` call of `step` from now on reaches
    // the disk, as another program acting between two steps of a save would.
    void before(FileStep step, std::function<void()> action, int nth = 1);
    // Runs `action` just after the `nth` look from now on has reached the
    // disk, before the save acts on what it saw.
    void afterLook(std::function<void()> action, int nth = 1);
    // No more failures and no more actions.
    void heal() {
        faults_.clear();
        actions_.clear();
        afterLooks_.clear();
    }
    // Flushes succeed without reaching the disk: a machine that never loses
    // power need not wait for them.
    void skipFlushes(bool skip) { skipFlushes_ = skip; }
    // Calls of `step` so far.
    int calls(FileStep step) const { return calls_[static_cast<std::size_t>(step)]; }

    // The wrapped primitives; each call counts and may fail.
    FileError check(FileStep step);
    // Runs the actions due after a look.
    void looked();
    bool flushesSkipped() const { return skipFlushes_; }

    FileError openFolder(const std::string& path, std::unique_ptr<Folder>& folder) override;
    void splitPath(const std::string& path, std::string& folder, std::string& name) const override {
        inner_->splitPath(path, folder, name);
    }
    std::string joinPath(const std::string& folder, const std::string& target) const override {
        return inner_->joinPath(folder, target);
    }
    bool isPlayer(const std::string& owner) const override { return inner_->isPlayer(owner); }
    std::string playerId() const override { return inner_->playerId(); }
    std::int64_t steadyMs() override { return inner_->steadyMs(); }
    std::uint64_t freshNumber() override { return inner_->freshNumber(); }
    std::string reasonText(const FileError& error) const override;
    bool hasSeparateStore() const override { return inner_->hasSeparateStore(); }
    FileError commitToStore() override;
    // Reading and the folders are no steps of a save: they never fail here.
    std::unique_ptr<ReadableFile> openForReading(const std::string& path) override {
        return inner_->openForReading(path);
    }
    std::string dataFolder() override { return inner_->dataFolder(); }
    std::string executableFolder() override { return inner_->executableFolder(); }
    std::string_view lineEnd() const override { return inner_->lineEnd(); }

private:
    struct Fault {
        FileStep step;
        FileError error;
        std::string reason;
        int callsLeft;
        bool every;
    };
    struct Action {
        FileStep step;
        std::function<void()> run;
        int callsLeft;
    };
    FileSystem* inner_;
    std::vector<Fault> faults_;
    std::vector<Action> actions_;
    std::vector<Action> afterLooks_;
    std::array<int, kFileSteps> calls_{};
    bool skipFlushes_ = false;
};

}  // namespace talvoren
