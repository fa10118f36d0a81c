#include "save_format.h"

#include <algorithm>
#include <utility>

#include "arithmetic.h"

namespace talvoren {

static_assert(std::tuple_size_v<decltype(saveNumbers(std::declval<Player&>(), std::declval<Progress&>()))> ==
                  kSaveLineCount - 2,
              "every line after the header and the name holds one number");

std::string formatSave(const Player& hero, const Progress& progress, std::string_view lineEnd) {
    std::string text(kSaveHeader);
    text += lineEnd;
    text += hero.name;
    for (const std::int32_t* number : saveNumbers(hero, progress)) {
        text += lineEnd;
        text += std::to_string(*number);
    }
    return text;
}

std::int32_t parseSaveNumber(std::string_view line) {
    std::size_t at = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (at < line.size() && isSpace(line[at])) ++at;
    bool negative = false;
    if (at < line.size() && (line[at] == '+' || line[at] == '-')) {
        negative = line[at] == '-';
        ++at;
    }
    std::int64_t value = 0;
    constexpr std::int64_t beyond = std::int64_t{1} << 32;  // past every 32-bit value
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
        if (value < beyond) value = value * 10 + (line[at] - '0');
    }
    return clampToInt32(negative ? -value : value);
}

bool canBeContinued(const std::vector<std::string>& lines) {
    return !lines.empty() && lines[0] == kSaveHeader;
}

bool applySaveLines(const std::vector<std::string>& lines, Player& hero, Progress& progress) {
    const auto numbers = saveNumbers(hero, progress);
    for (std::size_t index = 1; index < lines.size() && index < kSaveLineCount; ++index) {
        if (index == 1) {
            hero.name = lines[1];
        } else {
            *numbers[index - 2] = parseSaveNumber(lines[index]);
        }
    }
    return canBeContinued(lines);
}

void SaveLineSplitter::add(std::string_view piece) {
    if (!wantsMore()) return;
    // Past kSaveReadLimit bytes with the 14th line still open, the file is no save.
    const bool overLimit = piece.size() > kSaveReadLimit - taken_;
    if (overLimit) piece = piece.substr(0, static_cast<std::size_t>(kSaveReadLimit - taken_));
    taken_ += piece.size();
    while (!piece.empty() && wantsMore()) {
        const std::size_t end = piece.find('\n');
        const std::string_view part = piece.substr(0, end);
        // One byte past the limit is kept, so that a CR there is dropped as
        // the line's own before the line is cut.
        const std::size_t room = kSaveLineLimit + 1 - std::min(line_.size(), kSaveLineLimit + 1);
        line_.append(part.substr(0, room));
        lineBegun_ = true;
        if (end == std::string_view::npos) break;
        endLine();
        piece.remove_prefix(end + 1);
    }
    if (overLimit && wantsMore()) {
        tooLong_ = true;
        lines_.clear();
        line_.clear();
        lineBegun_ = false;
    }
}

void SaveLineSplitter::endLine() {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (line_.size() > kSaveLineLimit) line_.resize(kSaveLineLimit);
    lines_.push_back(std::move(line_));
    line_.clear();
    lineBegun_ = false;
}

std::vector<std::string> SaveLineSplitter::finish() {
    if (tooLong_) return {};
    if (lineBegun_ && wantsMore()) endLine();
    return std::move(lines_);
}

std::vector<std::string> splitSaveLines(std::string_view contents) {
    SaveLineSplitter splitter;
    splitter.add(contents);
    return splitter.finish();
}

}  // namespace talvoren
