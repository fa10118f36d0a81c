#include "console/screen.h"

namespace talvoren {

ScreenWriter::ScreenWriter(Terminal& out) : out_(out) {}

RowFitter* ScreenWriter::fitter() {
    if (!widthRead_) readWidth();
    return fitter_ ? &*fitter_ : nullptr;
}

void ScreenWriter::readWidth() {
    widthRead_ = true;
    const std::optional<int> width = out_.width();
    if (width && *width > 0) {
        fitter_.emplace(*width, out_.wrapsAtLastColumn());
    } else {
        fitter_.reset();
    }
    terminal_ = fitter_.has_value() || out_.outputIsConsole();
}

template <typename Fit>
void ScreenWriter::sendFitted(Fit fit) {
    fitted_.clear();
    fit(fitted_);
    if (!fitted_.empty()) out_.write(fitted_);
}

void ScreenWriter::release() {
    if (RowFitter* fitting = fitter()) sendFitted([&](std::string& fitted) { fitting->release(fitted); });
}

void ScreenWriter::write(std::string_view text) {
    RowFitter* fitting = fitter();
    if (fitting == nullptr) {
        out_.write(text);
        return;
    }
    sendFitted([&](std::string& fitted) { fitting->put(text, fitted); });
}

void ScreenWriter::writeAsIs(std::string_view text) {
    RowFitter* fitting = fitter();
    if (fitting == nullptr) {
        out_.write(text);
        return;
    }
    sendFitted([&](std::string& fitted) { fitting->passedThrough(text, fitted); });
}

bool ScreenWriter::onTerminal() {
    if (!widthRead_) readWidth();
    return terminal_;
}

void ScreenWriter::rule(std::string_view rule) {
    RowFitter* fitting = fitter();
    if (fitting == nullptr) {
        out_.write(rule);
        return;
    }
    sendFitted([&](std::string& fitted) { fitting->rule(static_cast<int>(rule.size()), fitted); });
}

void ScreenWriter::flush() {
    release();
    out_.flush();
}

void ScreenWriter::clear() {
    release();
    out_.clearScreen();
    readWidth();
}

void ScreenWriter::home() {
    release();
    out_.homeCursor();
    if (RowFitter* fitting = fitter()) fitting->cursorAtRowStart();
}

void ScreenWriter::colour(TextColour colour) {
    release();
    out_.setTextColour(colour);
}

void ScreenWriter::lineEndEchoed() {
    release();
    if (RowFitter* fitting = fitter()) fitting->cursorAtRowStart();
}

}  // namespace talvoren
