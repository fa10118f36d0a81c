#include "console/input.h"

#include <array>
#include <cstring>
#include <limits>

#include "console/screen.h"

namespace talvoren {

namespace {

bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

}  // namespace

InputSource::InputSource(Terminal& terminal, ScreenWriter& screen) : terminal_(terminal), screen_(screen) {}

bool InputSource::fill(bool wait) {
    if (ended_) return false;
    if (position_ > 0 && position_ == buffer_.size()) {
        buffer_.clear();
        position_ = 0;
    }
    if (wait) screen_.flush();  // like a prompt tied to its output
    std::array<char, 4096> chunk{};
    const std::ptrdiff_t got = terminal_.readInput(chunk.data(), chunk.size(), wait);
    if (got < 0) {
        ended_ = true;
        return false;
    }
    // A person's Enter is echoed by the console, which starts a new row.
    if (wait && got > 0 && terminal_.inputIsInteractive() &&
        std::memchr(chunk.data(), '\n', static_cast<std::size_t>(got)) != nullptr) {
        screen_.lineEndEchoed();
    }
    buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    return got > 0;
}

int InputSource::peekByte(bool wait) {
    while (position_ >= buffer_.size()) {
        if (!fill(wait)) return -1;
    }
    return static_cast<unsigned char>(buffer_[position_]);
}

void InputSource::consumeByte() {
    atLineStart_ = buffer_[position_] == '\n';
    ++position_;
}

int InputSource::skipBlanks() {
    int c = peekByte(true);
    while (c >= 0 && isBlank(c)) {
        consumeByte();
        c = peekByte(true);
    }
    if (c < 0) throw EndOfInput{};
    return c;
}

std::optional<std::int32_t> InputSource::readMenuNumber() {
    int c = skipBlanks();

    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        consumeByte();
        c = peekByte(true);
    }
    // Accumulate as a negative value so that the lowest 32-bit number fits.
    std::int64_t value = 0;
    bool anyDigit = false;
    bool tooLarge = false;
    while (c >= 0 && isDigit(c)) {
        anyDigit = true;
        if (!tooLarge) {
            value = value * 10 - (c - '0');
            if (value < std::numeric_limits<std::int32_t>::min()) tooLarge = true;
        }
        consumeByte();
        c = peekByte(true);
    }
    if (anyDigit && !tooLarge) {
        if (!negative) {
            if (-value > std::numeric_limits<std::int32_t>::max()) tooLarge = true;
            value = -value;
        }
        if (!tooLarge) return static_cast<std::int32_t>(value);
    }
    // Not a number: drop what is left of the line, so the next answer is fresh.
    while (c >= 0 && c != '\n') {
        consumeByte();
        c = peekByte(true);
    }
    if (c < 0) throw EndOfInput{};
    consumeByte();
    return std::nullopt;
}

std::string InputSource::readWord() {
    int c = skipBlanks();
    std::string word;
    while (c >= 0 && !isBlank(c)) {
        if (word.size() < kLongestWord) word.push_back(static_cast<char>(c));
        consumeByte();
        c = peekByte(true);
    }
    return word;
}

void InputSource::dropRestOfStartedLine() {
    while (!atLineStart_) {
        const int c = peekByte(false);
        if (c < 0) return;
        consumeByte();
    }
}

void InputSource::readOneCharacter() {
    if (peekByte(true) < 0) throw EndOfInput{};
    consumeByte();
}

SpacePoll InputSource::pollSpaceBar() {
    const DirectKey direct = terminal_.pollSpaceBarDirectly();
    if (direct != DirectKey::NotSupported) {
        return direct == DirectKey::Down ? SpacePoll::Pressed : SpacePoll::NotPressed;
    }
    for (;;) {
        const int c = peekByte(false);
        if (c < 0) {
            if (ended_) throw EndOfInput{};
            return SpacePoll::NotPressed;
        }
        consumeByte();
        if (c == ' ') return SpacePoll::Pressed;
    }
}

void InputSource::beginKeyPolling() {
    terminal_.enterKeyMode();
}

void InputSource::endKeyPolling() {
    if (terminal_.inputIsInteractive()) {
        // Keys mashed after the press must not answer the next prompt.
        buffer_.clear();
        position_ = 0;
    }
    terminal_.leaveKeyMode();
}

}  // namespace talvoren
