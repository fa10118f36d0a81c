#include "console/art_file.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "console/game_context.h"
#include "console/screen.h"
#include "console/text_kit.h"

namespace talvoren {

namespace {

// A picture is looked for in the working folder (so a player's own picture
// wins), then beside the program (a build tree started from anywhere), then
// in the installed picture folder. A path with a folder means that folder only.
std::unique_ptr<ReadableFile> findPicture(const std::string& path) {
    Files& files = game().files;
    if (auto file = files.openForReading(path)) return file;
    const std::filesystem::path name(path);
    if (name.has_parent_path()) return nullptr;
    for (const std::string& folder : {files.executableFolder(), files.dataFolder()}) {
        if (folder.empty()) continue;
        if (auto file = files.openForReading((std::filesystem::path(folder) / name).string())) return file;
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
// there can plant one: on a console, every control byte but the line end
// shows as "?", as in names, and no picture drives the terminal (escapes,
// bells, a bare CR writing over a row). Piped, the bytes pass as they are.
void showControlBytes(std::string& text) {
    for (char& byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code < 0x20 && byte != '\n') || code == 0x7f) byte = '?';
    }
}

}  // namespace

void printArtFile(std::string path) {
    const std::unique_ptr<ReadableFile> file = findPicture(path);
    if (!file) {
        printLine("Unable to open file");
        return;
    }
    std::array<char, 64 * 1024> block{};
    std::string out;
    out.reserve(block.size());
    bool heldCarriageReturn = false;
    char last = '\n';
    const bool console = screenOnConsole();
    for (;;) {
        const std::ptrdiff_t got = file->read(block.data(), block.size());
        if (got <= 0) break;  // end of file or a read error: stop silently
        copyBlock(std::string_view(block.data(), static_cast<std::size_t>(got)), heldCarriageReturn, out);
        if (!out.empty()) {
            if (console) showControlBytes(out);
            screenWriteAsIs(out);
            screenFlush();
            last = out.back();
        }
    }
    if (heldCarriageReturn) {
        last = console ? '?' : '\r';
        screenWriteAsIs(std::string_view(&last, 1));
    }
    if (last != '\n') screenWriteAsIs("\n");
}

}  // namespace talvoren
