// The browser back end's files: Emscripten's POSIX file system, kept in the
// page's IndexedDB folder by the JavaScript half (browser_terminal.js).
#include <emscripten.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/back_end.h"
#include "platform/posix_files.h"

namespace talvoren {

namespace {

// clang-format off
EM_JS(const char*, installedPictureFolder, (), {
    return allocateUTF8(Module.talvoren.pictureFolder);
});

// Copies the save folder into IndexedDB and waits for it. Returns 1 when it
// is stored, 0 with the browser's reason in `reason` when it is not.
EM_ASYNC_JS(int, storeSavedFiles, (char* reason, std::size_t capacity), {
    const problem = await Module.talvoren.storeSaves();
    if (problem === null) return 1;
    stringToUTF8(problem, reason, capacity);
    return 0;
});
// clang-format on

std::string takeJsString(const char* text) {
    std::string copy = text != nullptr ? text : "";
    std::free(const_cast<char*>(text));
    return copy;
}

// The page's files live in Emscripten's memory, kept in IndexedDB between
// visits: a save is made only once IndexedDB holds it, and when the browser
// refuses, the save policy puts the page's copy back to what IndexedDB still
// has, so that Load Game finds the same save before and after a reload.
class BrowserFileSystem final : public PosixFileSystem {
public:
    bool hasSeparateStore() const override { return true; }

    FileError commitToStore() override {
        std::array<char, 512> problem{};
        if (storeSavedFiles(problem.data(), problem.size()) != 0) return {};
        refusal_ = "the browser could not store it (" + std::string(problem.data()) + ")";
        return {FileProblem::other, kStoreRefused};
    }

    // Given by the page, which knows where it unpacked the pictures.
    std::string dataFolder() override { return pictureFolder_; }

    std::string reasonText(const FileError& error) const override {
        return error.code == kStoreRefused ? refusal_ : PosixFileSystem::reasonText(error);
    }

private:
    static constexpr std::int64_t kStoreRefused = -1;  // no errno
    std::string refusal_;
    std::string pictureFolder_ = takeJsString(installedPictureFolder());
};

}  // namespace

FileSystem& backEndFileSystem() {
    static BrowserFileSystem system;
    return system;
}

}  // namespace talvoren
