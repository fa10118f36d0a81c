#include "row_fitter.h"

#include <algorithm>

namespace talvoren {

RowFitter::RowFitter(int width, bool wrapsAtLastColumn)
    : width_(std::max(width, 1)), wrapsAtLastColumn_(wrapsAtLastColumn) {}

void RowFitter::put(std::string_view text, std::string& out) {
    for (const char c : text) {
        if (c == '\n') {
            if (absorbLineEnd_) {
                absorbLineEnd_ = false;
                continue;
            }
            emitHeld(out);
            endRow(out);
            dropBlanks_ = false;
            continue;
        }
        absorbLineEnd_ = false;
        if (c == ' ') {
            putBlank(out);
        } else {
            putWordCharacter(c, out);
        }
    }
}

void RowFitter::putBlank(std::string& out) {
    emitHeld(out);
    if (dropBlanks_) return;
    if (column_ == width_) {
        // The blank falls on the edge: it becomes the row's end.
        endRow(out);
        dropBlanks_ = true;
        return;
    }
    out.push_back(' ');
    ++column_;
}

void RowFitter::putWordCharacter(char c, std::string& out) {
    dropBlanks_ = false;
    held_.push_back(c);
    while (column_ + static_cast<int>(held_.size()) > width_) {
        if (column_ > 0) {
            endRow(out);  // the word moves whole to the next row
            continue;
        }
        // Wider than a whole row: cut at the edge.
        out.append(held_, 0, static_cast<std::size_t>(width_));
        held_.erase(0, static_cast<std::size_t>(width_));
        column_ = width_;
    }
}

void RowFitter::endRow(std::string& out) {
    // A console that wrapped at the last column is already on the next row.
    if (!(wrapsAtLastColumn_ && column_ == width_)) out.push_back('\n');
    column_ = 0;
}

void RowFitter::emitHeld(std::string& out) {
    out.append(held_);
    column_ += static_cast<int>(held_.size());
    held_.clear();
}

void RowFitter::rule(int fullWidth, std::string& out) {
    emitHeld(out);
    if (column_ > 0) endRow(out);
    const int length = std::clamp(fullWidth, 1, width_);
    out.push_back('+');
    if (length > 1) {
        out.append(static_cast<std::size_t>(length - 2), '-');
        out.push_back('+');
    }
    column_ = length;
    endRow(out);
    absorbLineEnd_ = true;
    dropBlanks_ = false;
}

void RowFitter::release(std::string& out) {
    emitHeld(out);
}

void RowFitter::passedThrough(std::string_view text, std::string& out) {
    emitHeld(out);
    if (text.empty()) return;
    absorbLineEnd_ = false;
    dropBlanks_ = false;
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        const std::string_view line = text.substr(0, lineEnd);
        // Whole runs of the kept part are appended, which keeps large
        // pictures nearly as fast as a plain copy.
        std::size_t kept = 0;
        for (; kept < line.size(); ++kept) {
            const bool continuation = (static_cast<unsigned char>(line[kept]) & 0xc0) == 0x80;
            if (continuation) {
                if (!keptCharacter_) break;
                continue;
            }
            keptCharacter_ = column_ < width_;
            if (!keptCharacter_) break;
            ++column_;
        }
        out.append(line.substr(0, kept));
        if (lineEnd == std::string_view::npos) return;
        endRow(out);
        keptCharacter_ = true;
        text.remove_prefix(lineEnd + 1);
    }
}

void RowFitter::cursorAtRowStart() {
    held_.clear();
    column_ = 0;
    absorbLineEnd_ = false;
    dropBlanks_ = false;
}

}  // namespace talvoren
