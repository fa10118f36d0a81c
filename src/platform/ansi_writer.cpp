#include "platform/ansi_writer.h"

#include <utility>

namespace talvoren {

namespace {

std::string_view colourSequence(TextColour colour) {
    switch (colour) {
        case TextColour::Green: return "\x1b[0;32;40m";
        case TextColour::Cyan: return "\x1b[0;36;40m";
        case TextColour::Red: return "\x1b[0;31;40m";
        case TextColour::BrightWhite: return "\x1b[0;97;40m";
        case TextColour::Default: return "\x1b[0m";
    }
    return {};  // no other colour exists; a stray value changes nothing
}

}  // namespace

AnsiWriter::AnsiWriter(std::function<void(const AnsiOutput&)> sink, std::size_t flushThreshold)
    : sink_(std::move(sink)), flushThreshold_(flushThreshold) {}

void AnsiWriter::write(std::string_view text) {
    pending_.append(text);
    if (pending_.size() >= flushThreshold_) flush();
}

void AnsiWriter::flush() {
    if (pending_.empty()) return;
    AnsiOutput output;
    output.bytes = pending_;
    if (afterClear_ != std::string::npos) {
        output.cleared = true;
        output.colourAtClear = colourAtClear_;
        output.afterClear = output.bytes.substr(afterClear_);
    }
    sink_(output);
    pending_.clear();
    afterClear_ = std::string::npos;
}

void AnsiWriter::clearScreen() {
    pending_ += ansi::kClear;
    afterClear_ = pending_.size();
    colourAtClear_ = colour_;
}

void AnsiWriter::setTextColour(TextColour colour) {
    colour_ = colourSequence(colour);
    pending_ += colour_;
}

void AnsiWriter::homeCursor() {
    pending_ += "\x1b[H";
}

void AnsiWriter::setCursorVisible(bool visible) {
    pending_ += visible ? ansi::kShowCursor : ansi::kHideCursor;
    flush();
}

void AnsiWriter::setTitle(std::string_view title) {
    pending_ += "\x1b]0;";
    pending_ += title;
    pending_ += '\x07';
}

void AnsiWriter::requestWindowSize(int widthPixels, int heightPixels) {
    pending_ += "\x1b[4;" + std::to_string(heightPixels) + ";" + std::to_string(widthPixels) + "t";
}

}  // namespace talvoren
