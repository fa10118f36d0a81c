#include "line_discipline.h"

#include <algorithm>
#include <cstring>

namespace talvoren {

namespace {

constexpr unsigned char kEscape = 0x1b;
constexpr unsigned char kDelete = 0x7f;
constexpr unsigned char kBackspace = 0x08;
constexpr unsigned char kEraseLine = 0x15;  // Ctrl-U

bool isContinuationByte(unsigned char byte) {
    return (byte & 0xc0) == 0x80;
}

}  // namespace

std::string LineDiscipline::feed(std::string_view keys) {
    std::string echo;
    for (const char key : keys) {
        const auto byte = static_cast<unsigned char>(key);
        if (keyMode_) {
            // As with a terminal's CR-to-LF mapping, Enter reads as a line end.
            makeReady(byte == '\r' ? std::string_view("\n") : std::string_view(&key, 1));
        } else if (!skipEscape(byte)) {
            editLine(byte, echo);
        }
    }
    return echo;
}

// Cursor and function keys arrive as ESC [ ... final byte or ESC O x; a line
// editor without a cursor has no use for them. Anything else after a lone
// ESC (the Escape key, or Alt with a key) keeps the key itself.
bool LineDiscipline::skipEscape(unsigned char key) {
    switch (escape_) {
        case Escape::None:
            if (key != kEscape) return false;
            escape_ = Escape::Started;
            return true;
        case Escape::Started:
            if (key == '[') {
                escape_ = Escape::ControlSequence;
                return true;
            }
            if (key == 'O') {
                escape_ = Escape::SingleShift;
                return true;
            }
            escape_ = key == kEscape ? Escape::Started : Escape::None;
            return key == kEscape;
        case Escape::ControlSequence:
            if (key >= 0x40 && key <= 0x7e) escape_ = Escape::None;
            return true;
        case Escape::SingleShift: escape_ = Escape::None; return true;
    }
    return false;
}

void LineDiscipline::editLine(unsigned char key, std::string& echo) {
    if (key == '\r' || key == '\n') {
        line_.push_back('\n');
        makeReady(line_);
        line_.clear();
        echo.push_back('\n');
    } else if (key == kDelete || key == kBackspace) {
        eraseLastCharacter(echo);
    } else if (key == kEraseLine) {
        while (!line_.empty()) eraseLastCharacter(echo);
    } else if (key < 0x20 && key != '\t') {
        // Other control keys (Ctrl-C, Ctrl-D, ...) mean nothing to the game here.
    } else if (line_.size() < kLineLimit) {
        line_.push_back(static_cast<char>(key));
        echo.push_back(static_cast<char>(key));
    }
}

// One character on screen may be several bytes of UTF-8; they go together.
void LineDiscipline::eraseLastCharacter(std::string& echo) {
    if (line_.empty()) return;
    while (line_.size() > 1 && isContinuationByte(static_cast<unsigned char>(line_.back()))) {
        line_.pop_back();
    }
    line_.pop_back();
    echo += "\b \b";
}

void LineDiscipline::makeReady(std::string_view bytes) {
    if (position_ > 0 && position_ == ready_.size()) {
        ready_.clear();
        position_ = 0;
    }
    const std::size_t waiting = ready_.size() - position_;
    const std::size_t room = kReadyLimit - std::min(waiting, kReadyLimit);
    ready_.append(bytes.substr(0, room));
}

std::size_t LineDiscipline::take(char* buffer, std::size_t capacity) {
    const std::size_t count = std::min(capacity, ready_.size() - position_);
    if (count > 0) std::memcpy(buffer, ready_.data() + position_, count);
    position_ += count;
    return count;
}

void LineDiscipline::enterKeyMode() {
    keyMode_ = true;
    escape_ = Escape::None;
    makeReady(line_);
    line_.clear();
}

void LineDiscipline::leaveKeyMode() {
    keyMode_ = false;
    escape_ = Escape::None;
    ready_.clear();
    position_ = 0;
    line_.clear();
}

}  // namespace talvoren
