#include "simulated_terminal.h"

#include <algorithm>
#include <cstring>

namespace talvoren {

void SimulatedTerminal::typeAt(std::int64_t atMs, std::string_view bytes) {
    // Keep arrivals in time order; equal times keep the order they were typed.
    auto later = std::upper_bound(input_.begin(), input_.end(), atMs,
                                  [](std::int64_t at, const Arrival& arrival) { return at < arrival.atMs; });
    input_.insert(later, Arrival{atMs, std::string(bytes)});
}

std::vector<std::string> SimulatedTerminal::screens() const {
    std::vector<std::string> result(1);
    std::string_view rest = transcript_;
    for (std::size_t at = rest.find("<clear>"); at != std::string_view::npos; at = rest.find("<clear>")) {
        result.back().append(rest.substr(0, at));
        result.emplace_back();
        rest.remove_prefix(at + std::strlen("<clear>"));
    }
    result.back().append(rest);
    return result;
}

std::size_t SimulatedTerminal::unreadInput() const {
    std::size_t total = 0;
    for (const Arrival& arrival : input_) total += arrival.bytes.size();
    return total;
}

void SimulatedTerminal::marker(std::string_view text) {
    if (showControls_) record(text);
}

void SimulatedTerminal::record(std::string_view text) {
    outputBytes_ += text.size();
    transcript_.append(text);
    const std::size_t limit = budget_.transcriptBytes;
    if (limit != 0 && transcript_.size() > 2 * limit) transcript_.erase(0, transcript_.size() - limit);
}

bool SimulatedTerminal::inputBudgetSpent() {
    ++reads_;
    if ((budget_.reads != 0 && reads_ > budget_.reads) ||
        (budget_.virtualMs != 0 && clock_->nowMs() >= budget_.virtualMs)) {
        budgetSpent_ = true;
    }
    return budgetSpent_;
}

void SimulatedTerminal::write(std::string_view text) {
    if (notingTimes_) timedWrites_.emplace_back(clock_->nowMs(), text);
    record(text);
}

void SimulatedTerminal::flush() {
    clock_->sleepMs(drawMs_);
    if (flushes_++ == stallAfter_) clock_->sleepMs(stallMs_);
}

void SimulatedTerminal::homeCursor() {
    if (notingTimes_) homeTimes_.push_back(clock_->nowMs());
    marker("<home>");
}

void SimulatedTerminal::setTextColour(TextColour colour) {
    colour_ = colour;
    marker(colour == TextColour::Default ? std::string("<colour default>")
                                         : "<colour " + std::to_string(static_cast<int>(colour)) + ">");
}

void SimulatedTerminal::setCursorVisible(bool visible) {
    if (!width_) return;
    cursorVisible_ = visible;
    marker(visible ? "<cursor shown>" : "<cursor hidden>");
}

void SimulatedTerminal::setTitle(std::string_view title) {
    marker("<title " + std::string(title) + ">");
}

void SimulatedTerminal::requestWindowSize(int widthPixels, int heightPixels) {
    marker("<window " + std::to_string(widthPixels) + "x" + std::to_string(heightPixels) + ">");
}

std::ptrdiff_t SimulatedTerminal::readInput(char* buffer, std::size_t capacity, bool wait) {
    if (inputBudgetSpent() || input_.empty()) return -1;
    if (input_.front().atMs > clock_->nowMs()) {
        if (!wait) return 0;
        if (budget_.virtualMs != 0 && input_.front().atMs >= budget_.virtualMs) {
            waitUntil(budget_.virtualMs);  // the budget runs out while waiting
            budgetSpent_ = true;
            return -1;
        }
        waitUntil(input_.front().atMs);  // waiting for the key takes that long
    }
    Arrival& next = input_.front();
    const std::size_t count = std::min(capacity, next.bytes.size());
    std::memcpy(buffer, next.bytes.data(), count);
    next.bytes.erase(0, count);
    if (next.bytes.empty()) input_.pop_front();
    return static_cast<std::ptrdiff_t>(count);
}

void SimulatedTerminal::enterKeyMode() {
    inKeyMode_ = true;
    ++keyModeEntries_;
}

void SimulatedTerminal::leaveKeyMode() {
    if (interactive_) {
        // A terminal drops what was typed and not read.
        while (!input_.empty() && input_.front().atMs <= clock_->nowMs()) input_.pop_front();
    }
    inKeyMode_ = false;
}

}  // namespace talvoren
