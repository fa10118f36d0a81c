#include "simulated_file_system.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <vector>

namespace talvoren {

namespace {

constexpr unsigned kSticky = 01000;
constexpr unsigned kUmask = 022;
constexpr int kMostLinks = 40;
// Codes of the problems the simulated system names more closely than by their kind.
constexpr std::int64_t kNotAFolder = 1;

FileError problem(FileProblem what, std::int64_t code = 0) {
    return {what, code};
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string childOf(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

class SimulatedFile final : public OpenFile {
public:
    SimulatedFile(SimulatedFileSystem& system, std::uint64_t id, bool writable)
        : system_(system), id_(id), writable_(writable) {
        ++system_.openFiles_;
    }
    ~SimulatedFile() override { close(); }
    SimulatedFile(const SimulatedFile&) = delete;
    SimulatedFile& operator=(const SimulatedFile&) = delete;

    FileError writeAt(std::uint64_t offset, std::string_view bytes) override {
        if (!writable_) return problem(FileProblem::accessDenied);
        std::string& data = node().bytes;
        const auto at = static_cast<std::size_t>(offset);
        if (data.size() < at + bytes.size()) data.resize(at + bytes.size());
        data.replace(at, bytes.size(), bytes);
        return {};
    }
    FileError readAt(std::uint64_t offset, std::string& into) override {
        const std::string& data = node().bytes;
        const auto at = static_cast<std::size_t>(offset);
        if (at + into.size() > data.size()) return problem(FileProblem::other);
        into.assign(data, at, into.size());
        return {};
    }
    FileError truncate(std::uint64_t size) override {
        if (!writable_) return problem(FileProblem::accessDenied);
        node().bytes.resize(static_cast<std::size_t>(size));
        return {};
    }
    FileError sync() override { return {}; }
    FileError describe(EntryInfo& info) override {
        info = system_.infoOf(node());
        return {};
    }
    FileError copyModeAndOwner(const EntryInfo& original) override {
        node().mode = original.permissions & 0777;
        // Only root gives a file away.
        if (original.owner != node().owner && !system_.isRoot()) return problem(FileProblem::accessDenied);
        node().owner = original.owner;
        return {};
    }
    FileError close() override {
        if (closed_) return {};
        closed_ = true;
        node().lockedByGame = false;
        --system_.openFiles_;
        return {};
    }

private:
    SimulatedFileSystem::Node& node() { return system_.nodes_.at(id_); }

    SimulatedFileSystem& system_;
    std::uint64_t id_;
    bool writable_;
    bool closed_ = false;
};

class SimulatedFolder final : public Folder {
public:
    SimulatedFolder(SimulatedFileSystem& system, std::string path)
        : system_(system), path_(std::move(path)) {}

    FileError look(const std::string& name, EntryInfo& info) override {
        const SimulatedFileSystem::Node* node = entry(name);
        if (node == nullptr) return problem(FileProblem::missing);
        info = system_.infoOf(*node);
        return {};
    }
    FileError describe(FolderInfo& info) override {
        const SimulatedFileSystem::Node& folder = *system_.find(path_);
        info.owner = folder.owner;
        info.openToOthers = (folder.mode & 0022) != 0;
        return {};
    }
    FileError mayWrite(const std::string& name) override {
        const SimulatedFileSystem::Node* node = entry(name);
        if (node == nullptr) return problem(FileProblem::missing);
        return system_.allows(*node, 0200, 0002) ? FileError{} : problem(FileProblem::accessDenied);
    }
    FileError createLocked(const std::string& name, unsigned permissions,
                           std::unique_ptr<OpenFile>& file) override {
        if (entry(name) != nullptr) return problem(FileProblem::exists);
        if (const FileError error = system_.mayChange(path_, nullptr)) return error;
        SimulatedFileSystem::Node& node =
            system_.add(childOf(path_, name), EntryKind::regular, system_.user_, permissions & ~kUmask);
        node.lockedByGame = true;
        file = std::make_unique<SimulatedFile>(system_, node.id, true);
        return {};
    }
    FileError openExisting(const std::string& name, bool forWriting,
                           std::unique_ptr<OpenFile>& file) override {
        const SimulatedFileSystem::Node* node = entry(name);
        if (node == nullptr) return problem(FileProblem::missing);
        if (node->kind == EntryKind::link) return problem(FileProblem::tooManyLinks);
        if (node->kind == EntryKind::folder && forWriting) return problem(FileProblem::folder);
        if (!system_.allows(*node, 0400, 0004) || (forWriting && !system_.allows(*node, 0200, 0002))) {
            return problem(FileProblem::accessDenied);
        }
        file = std::make_unique<SimulatedFile>(system_, node->id, forWriting);
        return {};
    }
    FileError rename(const std::string& from, const std::string& to) override {
        const SimulatedFileSystem::Node* moved = entry(from);
        const SimulatedFileSystem::Node* replaced = entry(to);
        if (moved == nullptr) return problem(FileProblem::missing);
        if (replaced != nullptr && replaced->kind == EntryKind::folder) return problem(FileProblem::folder);
        if (const FileError error = system_.mayChange(path_, moved)) return error;
        if (replaced != nullptr) {
            if (const FileError error = system_.mayChange(path_, replaced)) return error;
        }
        system_.names_[childOf(path_, to)] = moved->id;
        system_.names_.erase(childOf(path_, from));
        return {};
    }
    FileError remove(const std::string& name) override {
        const SimulatedFileSystem::Node* node = entry(name);
        if (node == nullptr) return problem(FileProblem::missing);
        if (node->kind == EntryKind::folder) return problem(FileProblem::folder);
        if (const FileError error = system_.mayChange(path_, node)) return error;
        system_.names_.erase(childOf(path_, name));
        return {};
    }
    FileError sync() override { return {}; }
    FileError list(std::string_view prefix, const std::function<void(std::string_view)>& each) override {
        const std::string inside = path_ == "/" ? "/" : path_ + "/";
        // Names are given as a folder on a disk gives them: in no useful order.
        std::vector<std::string> names;
        for (const auto& [path, id] : system_.names_) {
            if (path.size() > inside.size() && path.starts_with(inside) &&
                path.find('/', inside.size()) == std::string::npos &&
                std::string_view(path).substr(inside.size()).starts_with(prefix)) {
                names.push_back(path.substr(inside.size()));
            }
        }
        for (auto name = names.rbegin(); name != names.rend(); ++name) each(*name);
        return {};
    }
    FileError removeIfUnheld(const std::string& name, const FileSystem& owners) override {
        system_.clockMs_ += system_.removalMs_;
        const SimulatedFileSystem::Node* node = entry(name);
        if (node == nullptr) return problem(FileProblem::missing);
        if (node->kind == EntryKind::link) return problem(FileProblem::tooManyLinks);
        if (node->kind != EntryKind::regular) return problem(FileProblem::notRegular);
        if (!owners.isPlayer(node->owner)) return problem(FileProblem::accessDenied);
        if (node->lockedByGame || node->lockedByOther) return problem(FileProblem::busy);
        return remove(name);
    }

private:
    const SimulatedFileSystem::Node* entry(const std::string& name) const {
        return system_.find(childOf(path_, name));
    }

    SimulatedFileSystem& system_;
    std::string path_;
};

SimulatedFileSystem::SimulatedFileSystem() {
    add("/", EntryKind::folder, "root", 0755);
    addFolder("/home", "root", 0755);
    addFolder("/tmp", "root", 01777);
    addFolder("/home/player", "player", 0755);
}

std::string SimulatedFileSystem::absolute(const std::string& path) const {
    return path.starts_with('/') ? path : "/home/player/" + path;
}

SimulatedFileSystem::Node* SimulatedFileSystem::find(const std::string& absolutePath) {
    const auto named = names_.find(absolutePath);
    return named == names_.end() ? nullptr : &nodes_.at(named->second);
}

const SimulatedFileSystem::Node* SimulatedFileSystem::find(const std::string& absolutePath) const {
    const auto named = names_.find(absolutePath);
    return named == names_.end() ? nullptr : &nodes_.at(named->second);
}

SimulatedFileSystem::Node& SimulatedFileSystem::add(const std::string& path, EntryKind kind,
                                                    const std::string& owner, unsigned mode) {
    const std::string where = absolute(path);
    if (where != "/" && find(parentOf(where)) == nullptr) throw std::logic_error("no folder for " + where);
    const std::uint64_t id = nextId_++;
    names_[where] = id;
    return nodes_[id] = Node{kind, {}, mode, owner, id};
}

void SimulatedFileSystem::addFolder(const std::string& path, const std::string& owner, unsigned mode) {
    add(path, EntryKind::folder, owner, mode);
}

void SimulatedFileSystem::addFile(const std::string& path, std::string_view contents,
                                  const std::string& owner, unsigned mode) {
    add(path, EntryKind::regular, owner, mode).bytes = contents;
}

void SimulatedFileSystem::addLink(const std::string& path, const std::string& target,
                                  const std::string& owner) {
    add(path, EntryKind::link, owner, 0777).bytes = target;
}

void SimulatedFileSystem::addPipe(const std::string& path) {
    add(path, EntryKind::other, user_, 0644);
}

void SimulatedFileSystem::setMode(const std::string& path, unsigned mode) {
    find(absolute(path))->mode = mode;
}

void SimulatedFileSystem::rename(const std::string& from, const std::string& to) {
    names_[absolute(to)] = names_.at(absolute(from));
    names_.erase(absolute(from));
}

void SimulatedFileSystem::addHardLink(const std::string& path, const std::string& target) {
    names_[absolute(path)] = names_.at(absolute(target));
}

void SimulatedFileSystem::holdLock(const std::string& path) {
    find(absolute(path))->lockedByOther = true;
}

std::optional<std::string> SimulatedFileSystem::contents(const std::string& path) const {
    const Node* node = find(absolute(path));
    if (node == nullptr || node->kind != EntryKind::regular) return std::nullopt;
    return node->bytes;
}

bool SimulatedFileSystem::isLink(const std::string& path) const {
    const Node* node = find(absolute(path));
    return node != nullptr && node->kind == EntryKind::link;
}

unsigned SimulatedFileSystem::mode(const std::string& path) const {
    const Node* node = find(absolute(path));
    return node == nullptr ? 0 : node->mode;
}

std::string SimulatedFileSystem::owner(const std::string& path) const {
    const Node* node = find(absolute(path));
    return node == nullptr ? std::string() : node->owner;
}

std::string SimulatedFileSystem::listing(const std::string& folder) const {
    SimulatedFolder open(const_cast<SimulatedFileSystem&>(*this), absolute(folder));
    std::vector<std::string> names;
    open.list("", [&names](std::string_view name) { names.emplace_back(name); });
    std::string result;
    for (const std::string& name : std::set<std::string>(names.begin(), names.end())) result += name + " ";
    return result;
}

bool SimulatedFileSystem::allows(const Node& node, unsigned ownerBit, unsigned othersBit) const {
    return isRoot() || (node.mode & (node.owner == user_ ? ownerBit : othersBit)) != 0;
}

FileError SimulatedFileSystem::mayChange(const std::string& folder, const Node* entry) const {
    const Node& holder = *find(folder);
    if (!allows(holder, 0200, 0002)) return problem(FileProblem::accessDenied);
    const bool sticky = (holder.mode & kSticky) != 0;
    if (entry != nullptr && sticky && !isRoot() && entry->owner != user_ && holder.owner != user_) {
        return problem(FileProblem::accessDenied);
    }
    return {};
}

EntryInfo SimulatedFileSystem::infoOf(const Node& node) const {
    EntryInfo info;
    info.kind = node.kind;
    info.writable = (node.mode & 0222) != 0;
    info.permissions = node.mode & 07777;
    info.owner = node.owner;
    info.group = node.owner;
    info.device = 1;
    info.file = node.id;
    info.size = node.bytes.size();
    if (node.kind == EntryKind::link) info.target = node.bytes;
    return info;
}

FileError SimulatedFileSystem::resolveFolder(const std::string& path, std::string& resolved) const {
    // The names still to walk, the next one last.
    std::vector<std::string> names;
    const auto push = [&names](const std::string& text) {
        std::vector<std::string> parts;
        for (std::size_t start = 0; start <= text.size();) {
            const std::size_t slash = std::min(text.find('/', start), text.size());
            parts.push_back(text.substr(start, slash - start));
            start = slash + 1;
        }
        names.insert(names.end(), parts.rbegin(), parts.rend());
    };
    push(absolute(path.empty() ? "." : path));
    std::string at = "/";
    for (int hops = 0; !names.empty();) {
        const std::string name = names.back();
        names.pop_back();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            at = parentOf(at);
            continue;
        }
        const std::string next = childOf(at, name);
        const Node* node = find(next);
        if (node == nullptr) return problem(FileProblem::missing);
        if (node->kind == EntryKind::link) {
            if (++hops > kMostLinks) return problem(FileProblem::tooManyLinks);
            if (node->bytes.starts_with('/')) at.assign(1, '/');  // not = "/": g++ 12 -O2 warns of an overlap
            push(node->bytes);
        } else if (node->kind == EntryKind::folder) {
            at = next;
        } else {
            return problem(FileProblem::other, kNotAFolder);
        }
    }
    resolved = at;
    return {};
}

FileError SimulatedFileSystem::openFolder(const std::string& path, std::unique_ptr<Folder>& folder) {
    std::string resolved;
    if (const FileError error = resolveFolder(path, resolved)) return error;
    folder = std::make_unique<SimulatedFolder>(*this, resolved);
    return {};
}

void SimulatedFileSystem::splitPath(const std::string& path, std::string& folder, std::string& name) const {
    const std::size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SimulatedFileSystem::joinPath(const std::string& folder, const std::string& target) const {
    if (target.starts_with('/') || folder.empty()) return target;
    return folder.ends_with('/') ? folder + target : folder + "/" + target;
}

std::string SimulatedFileSystem::reasonText(const FileError& error) const {
    switch (error.problem) {
        case FileProblem::accessDenied: return "Permission denied";
        case FileProblem::exists: return "File exists";
        case FileProblem::missing: return "No such file or directory";
        case FileProblem::folder: return "Is a directory";
        case FileProblem::notRegular: return "Not a regular file";
        case FileProblem::tooManyLinks: return "Too many levels of symbolic links";
        case FileProblem::busy: return "Resource temporarily unavailable";
        case FileProblem::changed: return std::string(kChangedFileReason);
        case FileProblem::tooLarge: return "File too large";
        default: break;
    }
    if (error.code == kNotAFolder) return "Not a directory";
    return "Input/output error";
}

namespace {

class ReadableCopy final : public ReadableFile {
public:
    explicit ReadableCopy(std::string bytes) : bytes_(std::move(bytes)) {}

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min(capacity, bytes_.size() - at_);
        std::copy_n(bytes_.data() + at_, count, buffer);
        at_ += count;
        return static_cast<std::ptrdiff_t>(count);
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

}  // namespace

std::unique_ptr<ReadableFile> SimulatedFileSystem::openForReading(const std::string& path) {
    std::string next = path;
    for (int hops = 0; hops <= kMostLinks; ++hops) {
        std::string folder;
        std::string name;
        splitPath(next, folder, name);
        std::string resolved;
        if (resolveFolder(folder, resolved)) return nullptr;
        const Node* node = find(childOf(resolved, name));
        if (node == nullptr) return nullptr;
        if (node->kind != EntryKind::link) {
            if (node->kind != EntryKind::regular || !allows(*node, 0400, 0004)) return nullptr;
            return std::make_unique<ReadableCopy>(node->bytes);
        }
        next = joinPath(resolved, node->bytes);
    }
    return nullptr;
}

}  // namespace talvoren
