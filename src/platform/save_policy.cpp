#include "platform/save_policy.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace talvoren {

namespace {

constexpr int kMostLinks = 40;  // as many as Linux follows in one path
constexpr int kNameAttempts = 100;
// The mark of the game's temporary files: no file a player keeps beside a
// save (".save1.txt.backup", "save1.txt.tmp") is ever taken for one.
constexpr std::string_view kMark = ".tvtmp-";
constexpr std::size_t kMarkLetters = 6;
constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// The most the save holds in memory of a file it rewrites in place or keeps
// a copy of: far more than a save, far less than a file planted to exhaust
// memory.
constexpr std::uint64_t kLargestKept = 16U << 20;
// How long one save may spend on leftovers: crashes leave a few, which take
// milliseconds; a folder that others have filled with names marked as the
// player's is gone through over several saves, each resuming where the last
// one stopped.
constexpr std::int64_t kSweepMs = 100;
// The names one clean-up keeps in memory, the first ones after where the
// last one stopped.
constexpr std::size_t kSweepBatch = 4096;

// The file a save ends up writing: its folder, held open, and its name there.
struct Place {
    std::string folderPath;
    std::unique_ptr<Folder> folder;
    std::string name;
    EntryInfo info;
    bool exists() const { return info.kind == EntryKind::regular; }
};

// The kernel's protected_symlinks rule, kept whatever the system's setting:
// in a folder where anyone may add a name, a link is followed only when it
// belongs to the player or to the folder's owner, so that another user's
// link never steers the save onto a file of the player's elsewhere.
bool mayFollow(const FileSystem& system, const FolderInfo& holder, const EntryInfo& link) {
    if (!holder.openToOthers || system.isPlayer(link.owner)) return true;
    return !link.owner.empty() && link.owner == holder.owner;
}

// Follows the links at `path` to the file the save is to write, which need
// not exist yet.
FileError findFinalFile(FileSystem& system, const std::string& path, Place& place) {
    std::string next = path;
    for (int hop = 0;; ++hop) {
        system.splitPath(next, place.folderPath, place.name);
        if (place.name.empty()) return {FileProblem::folder, 0};
        if (const FileError error = system.openFolder(place.folderPath, place.folder)) return error;
        place.info = {};
        if (const FileError error = place.folder->look(place.name, place.info)) {
            if (error.problem != FileProblem::missing) return error;
            place.info.kind = EntryKind::missing;
        }
        if (place.info.kind != EntryKind::link) return {};
        if (hop == kMostLinks) return {FileProblem::tooManyLinks, 0};
        FolderInfo holder;
        if (const FileError error = place.folder->describe(holder)) return error;
        if (!mayFollow(system, holder, place.info)) return {FileProblem::accessDenied, 0};
        // The target read with the owner just checked, never read again by name.
        next = system.joinPath(place.folderPath, place.info.target);
    }
}

FileError checkReplaceable(const FileSystem& system, Place& place) {
    switch (place.info.kind) {
        case EntryKind::missing: return {};
        case EntryKind::folder: return {FileProblem::folder, 0};
        case EntryKind::regular: break;
        default: return {FileProblem::notRegular, 0};
    }
    // A save made read-only stays as it is, as a plain write would leave it,
    // even for a user whom permissions do not stop.
    if (!place.info.writable) return {FileProblem::accessDenied, 0};
    // Another user's file in a folder where others may add names is his to
    // read and change: the player's save written into it would be his too.
    // A system that reports no owners (FAT) saves as before.
    if (!place.info.owner.empty() && !system.isPlayer(place.info.owner)) {
        FolderInfo holder;
        if (const FileError error = place.folder->describe(holder)) return error;
        if (holder.openToOthers) return {FileProblem::accessDenied, 0};
    }
    return place.folder->mayWrite(place.name);
}

// The id that marks the player's temporary files.
std::string markedId(const FileSystem& system) {
    std::string id = system.playerId();
    return id.empty() ? std::string("0") : id;
}

std::string temporaryName(FileSystem& system, const std::string& name) {
    std::uint64_t mix = system.freshNumber();
    mix ^= mix >> 29;
    mix *= 0xBF58476D1CE4E5B9ULL;
    mix ^= mix >> 32;
    std::string result = ".";
    result.append(name).append(kMark).append(markedId(system)).append("-");
    const std::uint64_t letters = kLetters.size();
    for (std::size_t letter = 0; letter < kMarkLetters; ++letter, mix /= letters) {
        result += kLetters[static_cast<std::size_t>(mix % letters)];  // below 62 on every system
    }
    return result;
}

// Writes a new file beside the final one and renames it over it. The new
// file stays locked from its creation until it has its final name, so that
// no other game's clean-up takes it for a crash's leftover.
FileError replaceByRename(FileSystem& system, Place& place, std::string_view contents) {
    // A new save gets the usual mode (the umask applies); a replaced one keeps its own.
    const unsigned permissions = place.exists() ? (place.info.permissions & 0777) : 0666;
    std::unique_ptr<OpenFile> file;
    std::string temporary;
    FileError error{FileProblem::exists, 0};
    for (int attempt = 0; attempt < kNameAttempts && error.problem == FileProblem::exists; ++attempt) {
        temporary = temporaryName(system, place.name);
        error = place.folder->createLocked(temporary, permissions, file);
    }
    if (error) return error;
    // Best effort: some file systems keep no modes or owners.
    if (place.exists()) file->copyModeAndOwner(place.info);
    error = file->writeAt(0, contents);
    if (!error) error = file->sync();
    if (!error) error = place.folder->rename(temporary, place.name);
    if (error) {
        place.folder->remove(temporary);
        file->close();
        return error;
    }
    // Held until renamed, then closed; once flushed, the bytes are on the
    // disk whatever closing says.
    file->close();
    place.folder->sync();
    return {};
}

// Opens the file the checks were made on, for writing or for reading only:
// the name is opened without following a link and the file behind it must be
// the one that was looked at, so that a link or another file put in its place
// since is never written nor read. Its size is bounded, as it is copied into memory.
FileError openCheckedFile(Place& place, bool forWriting, std::unique_ptr<OpenFile>& file, EntryInfo& opened) {
    FileError error = place.folder->openExisting(place.name, forWriting, file);
    // It was no link when it was looked at.
    if (error.problem == FileProblem::tooManyLinks) return {FileProblem::changed, 0};
    if (!error) error = file->describe(opened);
    if (!error && (opened.kind != place.info.kind || opened.device != place.info.device ||
                   opened.file != place.info.file)) {
        error = {FileProblem::changed, 0};
    }
    if (!error && opened.size > kLargestKept) error = {FileProblem::tooLarge, 0};
    if (error && file) file->close();
    return error;
}

// Overwrites the file from its start without emptying it first, so that a
// write failing part way can put the old bytes back into space the file
// already owns.
FileError rewriteInPlace(Place& place, std::string_view contents) {
    std::unique_ptr<OpenFile> file;
    EntryInfo info;
    if (const FileError error = openCheckedFile(place, true, file, info)) return error;
    std::string old(static_cast<std::size_t>(info.size), '\0');
    FileError error = file->readAt(0, old);
    if (!error) {
        error = file->writeAt(0, contents);
        if (!error && contents.size() < old.size()) error = file->truncate(contents.size());
        if (!error) error = file->sync();
        if (error && !file->writeAt(0, old) && !file->truncate(old.size())) file->sync();
    }
    // Once flushed, the bytes are on the disk whatever closing says.
    file->close();
    return error;
}

FileError writeFile(FileSystem& system, Place& place, std::string_view contents) {
    FileError error = replaceByRename(system, place, contents);
    // A folder closed to new files may still hold a save the player can write.
    if (error.problem == FileProblem::accessDenied && place.exists()) error = rewriteInPlace(place, contents);
    return error;
}

FileError readWholeFile(Place& place, std::string& contents) {
    std::unique_ptr<OpenFile> file;
    EntryInfo info;
    if (const FileError error = openCheckedFile(place, false, file, info)) return error;
    contents.resize(static_cast<std::size_t>(info.size));
    const FileError error = file->readAt(0, contents);
    file->close();
    return error;
}

// The first `kSweepBatch` of the player's marked names after `after`, in
// order; another user's marks are passed over by their name alone.
std::set<std::string> nextLeftovers(FileSystem& system, Place& place, const std::string& after) {
    std::set<std::string> batch;
    const std::string prefix = "." + place.name + std::string(kMark);
    const std::string id = markedId(system);
    const FileError error = place.folder->list(prefix, [&](std::string_view name) {
        if (!isTemporaryFileOf(name, place.name, id) || name <= after) return;
        if (batch.size() == kSweepBatch && name >= *batch.rbegin()) return;
        batch.emplace(name);
        if (batch.size() > kSweepBatch) batch.erase(std::prev(batch.end()));
    });
    if (error) batch.clear();
    return batch;
}

// Temporary files that crashed games left beside the save go once a save
// has worked; a lock still held means a running game is writing that one.
// Only the player's own are taken, their owner asked of the file itself:
// another user's is neither removed nor opened. The time one save spends is
// bounded; the next one resumes after the last name looked at.
void removeStaleTemporaries(FileSystem& system, Place& place) {
    std::string& mark = system.leftoverSweepMark();
    const std::string here = place.folderPath + '\0' + place.name + '\0';
    const std::string after = mark.starts_with(here) ? mark.substr(here.size()) : std::string();
    std::set<std::string> batch = nextLeftovers(system, place, after);
    if (batch.empty() && !after.empty()) batch = nextLeftovers(system, place, {});  // round again
    const std::int64_t deadline = system.steadyMs() + kSweepMs;
    std::string last;
    for (const std::string& name : batch) {
        if (!last.empty() && system.steadyMs() >= deadline) break;
        place.folder->removeIfUnheld(name, system);
        last = name;
    }
    // Stopped early, or more names may follow the batch: go on from here next time.
    if (last.empty() || (last == *batch.rbegin() && batch.size() < kSweepBatch)) {
        mark.clear();
    } else {
        mark = here + last;
    }
}

}  // namespace

bool isTemporaryFileOf(std::string_view name, std::string_view saveName, std::string_view playerId) {
    const std::size_t stem = 1 + saveName.size() + kMark.size();
    if (name.size() < stem + kMarkLetters || name[0] != '.' || name.substr(1, saveName.size()) != saveName ||
        name.substr(1 + saveName.size(), kMark.size()) != kMark) {
        return false;
    }
    std::string_view rest = name.substr(stem);
    // Games before the id was put in the mark left names without it.
    if (rest.size() != kMarkLetters) {
        if (rest.size() != playerId.size() + 1 + kMarkLetters || !rest.starts_with(playerId) ||
            rest[playerId.size()] != '-') {
            return false;
        }
        rest.remove_prefix(playerId.size() + 1);
    }
    return std::all_of(rest.begin(), rest.end(),
                       [](char c) { return kLetters.find(c) != std::string_view::npos; });
}

SaveOutcome replaceFile(FileSystem& system, const std::string& path, std::string_view contents) {
    Place place;
    FileError error = findFinalFile(system, path, place);
    if (!error) error = checkReplaceable(system, place);
    // Where the save is also kept in a store of its own, the file goes back
    // to what the store still holds when the store refuses the new one, so
    // that a later load finds the same save as a reload would.
    std::optional<std::string> previous;
    if (!error && system.hasSeparateStore() && place.exists())
        error = readWholeFile(place, previous.emplace());
    if (!error) error = writeFile(system, place, contents);
    if (!error && system.hasSeparateStore()) {
        error = system.commitToStore();
        if (error && previous) {
            writeFile(system, place, *previous);
        } else if (error) {
            place.folder->remove(place.name);
        }
    }
    if (error) return {false, system.reasonText(error)};
    removeStaleTemporaries(system, place);
    return {true, {}};
}

}  // namespace talvoren
