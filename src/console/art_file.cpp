#include "console/art_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/game_context.h"
#include "console/screen.h"
#include "console/shown_name.h"
#include "console/text_kit.h"

namespace talvoren {

namespace {

// Memory that reads as a file: a picture already read whole, streamed like any.
class PictureInMemory final : public ReadableFile {
public:
    explicit PictureInMemory(std::string bytes) : bytes_(std::move(bytes)) {}
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min(capacity, bytes_.size() - given_);
        bytes_.copy(buffer, count, given_);
        given_ += count;
        return static_cast<std::ptrdiff_t>(count);
    }

private:
    std::string bytes_;
    std::size_t given_ = 0;
};

// The whole picture `file` holds, or nothing when it is too large to be one.
// Reading stops one byte past the bound, so a sparse terabyte or a file that
// never ends costs no more than a picture; the bytes judged are the bytes
// shown, since nothing is read again by name. A read error ends the picture
// where it struck, as it always has.
std::optional<std::string> readFittingPicture(ReadableFile& file) {
    std::string picture(kLargestPictureBytes + 1, '\0');
    std::size_t size = 0;
    while (size < picture.size()) {
        const std::ptrdiff_t got = file.read(picture.data() + size, picture.size() - size);
        if (got <= 0) break;
        size += static_cast<std::size_t>(got);
    }
    if (size > kLargestPictureBytes) return std::nullopt;
    picture.resize(size);
    const std::size_t lines = static_cast<std::size_t>(std::count(picture.begin(), picture.end(), '\n')) +
                              (picture.empty() || picture.back() == '\n' ? 0 : 1);
    if (lines > kLongestPictureLines) return std::nullopt;
    return picture;
}

// A picture is looked for in the working folder (so a player's own picture
// wins), then beside the program (a build tree started from anywhere), then
// in the installed picture folder. A path with a folder means that folder
// only. A file too large to be a picture is passed over like a missing one:
// anyone who can write the working folder could plant one.
std::unique_ptr<ReadableFile> findPicture(const std::string& path) {
    Files& files = game().files;
    std::vector<std::string> places = {path};
    const std::filesystem::path name(path);
    if (!name.has_parent_path()) {
        for (const std::string& folder : {files.executableFolder(), files.dataFolder()}) {
            if (!folder.empty()) places.push_back((std::filesystem::path(folder) / name).string());
        }
    }
    for (const std::string& place : places) {
        const std::unique_ptr<ReadableFile> file = files.openForReading(place);
        if (!file) continue;
        if (std::optional<std::string> picture = readFittingPicture(*file)) {
            return std::make_unique<PictureInMemory>(std::move(*picture));
        }
    }
    return nullptr;
}

// Copies one block, dropping a CR that stands right before a LF. A CR at the
// end of a block is held back until the next block shows what follows it.
// Text between carriage returns is copied in whole runs, which keeps large
// pictures as fast as a plain copy.
void copyBlock(std::string_view block, bool& heldCarriageReturn, std::string& out) {
    out.clear();
    if (block.empty()) return;
    if (heldCarriageReturn && block.front() != '\n') out.push_back('\r');
    heldCarriageReturn = false;
    while (!block.empty()) {
        const std::size_t cr = block.find('\r');
        if (cr == std::string_view::npos) {
            out.append(block);
            return;
        }
        out.append(block.substr(0, cr));
        block.remove_prefix(cr + 1);
        if (block.empty()) {
            heldCarriageReturn = true;
        } else if (block.front() != '\n') {
            out.push_back('\r');
        }
    }
}

// Pictures are read from the working folder first, so anyone who can write
// there can plant one: on a terminal, sized or not, each line shows as a name
// does, every control but the line end as "?" (the console's 8-bit controls
// included), and no picture drives the terminal (escapes, bells, a bare CR
// writing over a row). Piped, the bytes pass as they are.
class PictureGuard {
public:
    explicit PictureGuard(TextEncoding encoding) : encoding_(encoding) {}

    // Shows `text` safely; a UTF-8 character cut by the block's end waits
    // for the rest of it in the next block.
    void show(std::string& text) {
        held_.append(text);
        const std::size_t keep = encoding_ == TextEncoding::utf8 ? cutCharacterAtEnd(held_) : 0;
        text = shownLines(std::string_view(held_).substr(0, held_.size() - keep));
        held_.erase(0, held_.size() - keep);
    }
    // What is still held at the end of the picture (a cut character: "?").
    std::string rest() {
        std::string rest = shownLines(held_);
        held_.clear();
        return rest;
    }

private:
    // Bytes at the end of `text` that begin a UTF-8 character not yet whole.
    static std::size_t cutCharacterAtEnd(std::string_view text) {
        for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
            const auto byte = static_cast<unsigned char>(text[text.size() - back]);
            if ((byte & 0xC0) != 0x80) {
                const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
                return length > back ? back : 0;
            }
        }
        return 0;
    }

    std::string shownLines(std::string_view text) const {
        std::string shown;
        shown.reserve(text.size());
        for (std::size_t start = 0;;) {
            const std::size_t end = text.find('\n', start);
            shown += shownName(text.substr(start, end - start), encoding_);
            if (end == std::string_view::npos) return shown;
            shown += '\n';
            start = end + 1;
        }
    }

    TextEncoding encoding_;
    std::string held_;
};

}  // namespace

void printArtFile(const std::string& path) {
    const std::unique_ptr<ReadableFile> file = findPicture(path);
    if (!file) {
        printLine("Unable to open file");
        return;
    }
    streamPicture(*file);
}

void streamPicture(ReadableFile& file) {
    std::array<char, std::size_t{64} * 1024> block{};
    std::string out;
    out.reserve(block.size());
    bool heldCarriageReturn = false;
    char last = '\n';
    ScreenWriter& screen = game().screen;
    const bool console = screen.onTerminal();
    PictureGuard guard(game().terminal.textEncoding());
    for (;;) {
        const std::ptrdiff_t got = file.read(block.data(), block.size());
        if (got <= 0) break;  // end of file or a read error: stop silently
        copyBlock(std::string_view(block.data(), static_cast<std::size_t>(got)), heldCarriageReturn, out);
        if (!out.empty()) {
            if (console) guard.show(out);
            if (!out.empty()) {
                screen.writeAsIs(out);
                screen.flush();
                last = out.back();
            }
        }
    }
    if (console) {
        const std::string rest = guard.rest();
        if (!rest.empty()) {
            screen.writeAsIs(rest);
            last = rest.back();
        }
    }
    if (heldCarriageReturn) {
        last = console ? '?' : '\r';
        screen.writeAsIs(std::string_view(&last, 1));
    }
    if (last != '\n') screen.writeAsIs("\n");
}

}  // namespace talvoren
