#include "faulty_file_system.h"

#include <utility>

namespace talvoren {

namespace {

// Injected failures carry codes no system uses, so their reasons can be found again.
constexpr std::int64_t kFirstInjectedCode = -1000;

class FaultyFile final : public OpenFile {
public:
    FaultyFile(FaultyFileSystem& faults, std::unique_ptr<OpenFile> inner)
        : faults_(faults), inner_(std::move(inner)) {}

    FileError writeAt(std::uint64_t offset, std::string_view bytes) override {
        if (const FileError error = faults_.check(FileStep::writeAt)) {
            inner_->writeAt(offset, bytes.substr(0, bytes.size() / 2));
            return error;
        }
        return inner_->writeAt(offset, bytes);
    }
    FileError readAt(std::uint64_t offset, std::string& into) override {
        if (const FileError error = faults_.check(FileStep::readAt)) return error;
        return inner_->readAt(offset, into);
    }
    FileError truncate(std::uint64_t size) override {
        if (const FileError error = faults_.check(FileStep::truncate)) return error;
        return inner_->truncate(size);
    }
    FileError sync() override {
        if (const FileError error = faults_.check(FileStep::syncFile)) return error;
        return faults_.flushesSkipped() ? FileError{} : inner_->sync();
    }
    FileError describe(EntryInfo& info) override {
        if (const FileError error = faults_.check(FileStep::describeFile)) return error;
        return inner_->describe(info);
    }
    FileError copyModeAndOwner(const EntryInfo& original) override {
        if (const FileError error = faults_.check(FileStep::copyModeAndOwner)) return error;
        return inner_->copyModeAndOwner(original);
    }
    FileError close() override {
        // A close that fails still lets go of the file, as close(2) does.
        const FileError closed = inner_->close();
        if (const FileError error = faults_.check(FileStep::close)) return error;
        return closed;
    }

private:
    FaultyFileSystem& faults_;
    std::unique_ptr<OpenFile> inner_;
};

class FaultyFolder final : public Folder {
public:
    FaultyFolder(FaultyFileSystem& faults, std::unique_ptr<Folder> inner)
        : faults_(faults), inner_(std::move(inner)) {}

    FileError look(const std::string& name, EntryInfo& info) override {
        if (const FileError error = faults_.check(FileStep::look)) return error;
        const FileError error = inner_->look(name, info);
        faults_.looked();
        return error;
    }
    FileError describe(FolderInfo& info) override {
        if (const FileError error = faults_.check(FileStep::describeFolder)) return error;
        return inner_->describe(info);
    }
    FileError mayWrite(const std::string& name) override {
        if (const FileError error = faults_.check(FileStep::mayWrite)) return error;
        return inner_->mayWrite(name);
    }
    FileError createLocked(const std::string& name, unsigned permissions,
                           std::unique_ptr<OpenFile>& file) override {
        if (const FileError error = faults_.check(FileStep::createLocked)) return error;
        return wrap(inner_->createLocked(name, permissions, file), file);
    }
    FileError openExisting(const std::string& name, bool forWriting,
                           std::unique_ptr<OpenFile>& file) override {
        if (const FileError error = faults_.check(FileStep::openExisting)) return error;
        return wrap(inner_->openExisting(name, forWriting, file), file);
    }
    FileError rename(const std::string& from, const std::string& to) override {
        if (const FileError error = faults_.check(FileStep::rename)) return error;
        return inner_->rename(from, to);
    }
    FileError remove(const std::string& name) override {
        if (const FileError error = faults_.check(FileStep::remove)) return error;
        return inner_->remove(name);
    }
    FileError sync() override {
        if (const FileError error = faults_.check(FileStep::syncFolder)) return error;
        return faults_.flushesSkipped() ? FileError{} : inner_->sync();
    }
    FileError list(std::string_view prefix, const std::function<void(std::string_view)>& each) override {
        if (const FileError error = faults_.check(FileStep::list)) return error;
        return inner_->list(prefix, each);
    }
    FileError removeIfUnheld(const std::string& name, const FileSystem& owners) override {
        if (const FileError error = faults_.check(FileStep::removeIfUnheld)) return error;
        return inner_->removeIfUnheld(name, owners);
    }

private:
    FileError wrap(FileError error, std::unique_ptr<OpenFile>& file) {
        if (!error) file = std::make_unique<FaultyFile>(faults_, std::move(file));
        return error;
    }

    FaultyFileSystem& faults_;
    std::unique_ptr<Folder> inner_;
};

}  // namespace

void FaultyFileSystem::fail(FileStep step, FileProblem problem, std::string reason, int nth, bool every) {
    const std::int64_t code = kFirstInjectedCode - static_cast<std::int64_t>(faults_.size());
    faults_.push_back({step, {problem, code}, std::move(reason), nth, every});
}

void FaultyFileSystem::before(FileStep step, std::function<void()> action, int nth) {
    actions_.push_back({step, std::move(action), nth});
}

void FaultyFileSystem::afterLook(std::function<void()> action, int nth) {
    afterLooks_.push_back({FileStep::look, std::move(action), nth});
}

void FaultyFileSystem::looked() {
    for (Action& action : afterLooks_) {
        if (action.callsLeft > 0 && --action.callsLeft == 0) action.run();
    }
}

FileError FaultyFileSystem::check(FileStep step) {
    ++calls_[static_cast<std::size_t>(step)];
    for (Action& action : actions_) {
        if (action.step == step && action.callsLeft > 0 && --action.callsLeft == 0) action.run();
    }
    for (Fault& fault : faults_) {
        if (fault.step != step || fault.callsLeft == 0) continue;
        if (--fault.callsLeft == 0) {
            if (fault.every) fault.callsLeft = 1;
            return fault.error;
        }
    }
    return {};
}

FileError FaultyFileSystem::openFolder(const std::string& path, std::unique_ptr<Folder>& folder) {
    if (const FileError error = check(FileStep::openFolder)) return error;
    const FileError error = inner_->openFolder(path, folder);
    if (!error) folder = std::make_unique<FaultyFolder>(*this, std::move(folder));
    return error;
}

std::string FaultyFileSystem::reasonText(const FileError& error) const {
    for (const Fault& fault : faults_) {
        if (fault.error.code == error.code) return fault.reason;
    }
    return inner_->reasonText(error);
}

FileError FaultyFileSystem::commitToStore() {
    if (const FileError error = check(FileStep::commitToStore)) return error;
    return inner_->commitToStore();
}

}  // namespace talvoren
