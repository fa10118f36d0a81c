#include "platform/simulated_platform.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace talvoren {

SimulatedPlatform::SimulatedPlatform(std::int64_t startSecond) : startSecond_(startSecond) {}

void SimulatedPlatform::typeAt(std::int64_t atMs, std::string_view bytes) {
    // Keep arrivals in time order; equal times keep the order they were typed.
    auto later = std::upper_bound(input_.begin(), input_.end(), atMs,
                                  [](std::int64_t at, const Arrival& arrival) { return at < arrival.atMs; });
    input_.insert(later, Arrival{atMs, std::string(bytes)});
}

std::vector<std::string> SimulatedPlatform::screens() const {
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

std::size_t SimulatedPlatform::unreadInput() const {
    std::size_t total = 0;
    for (const Arrival& arrival : input_) total += arrival.bytes.size();
    return total;
}

void SimulatedPlatform::marker(std::string_view text) {
    if (showControls_) record(text);
}

void SimulatedPlatform::record(std::string_view text) {
    outputBytes_ += text.size();
    transcript_.append(text);
    const std::size_t limit = budget_.transcriptBytes;
    if (limit != 0 && transcript_.size() > 2 * limit) transcript_.erase(0, transcript_.size() - limit);
}

bool SimulatedPlatform::inputBudgetSpent() {
    ++reads_;
    if ((budget_.reads != 0 && reads_ > budget_.reads) ||
        (budget_.virtualMs != 0 && nowMs_ >= budget_.virtualMs)) {
        budgetSpent_ = true;
    }
    return budgetSpent_;
}

void SimulatedPlatform::setTextColour(TextColour colour) {
    colour_ = colour;
    marker("<colour " + std::to_string(static_cast<int>(colour)) + ">");
}

void SimulatedPlatform::setCursorVisible(bool visible) {
    if (!width_) return;
    cursorVisible_ = visible;
    marker(visible ? "<cursor shown>" : "<cursor hidden>");
}

void SimulatedPlatform::setTitle(std::string_view title) {
    marker("<title " + std::string(title) + ">");
}

void SimulatedPlatform::requestWindowSize(int widthPixels, int heightPixels) {
    marker("<window " + std::to_string(widthPixels) + "x" + std::to_string(heightPixels) + ">");
}

void SimulatedPlatform::sleepMs(std::int64_t milliseconds) {
    if (milliseconds > 0) nowMs_ += milliseconds;
}

std::ptrdiff_t SimulatedPlatform::readInput(char* buffer, std::size_t capacity, bool wait) {
    if (inputBudgetSpent() || input_.empty()) return -1;
    if (input_.front().atMs > nowMs_) {
        if (!wait) return 0;
        if (budget_.virtualMs != 0 && input_.front().atMs >= budget_.virtualMs) {
            nowMs_ = budget_.virtualMs;  // the budget runs out while waiting
            budgetSpent_ = true;
            return -1;
        }
        nowMs_ = input_.front().atMs;  // waiting for the key takes that long
    }
    Arrival& next = input_.front();
    const std::size_t count = std::min(capacity, next.bytes.size());
    std::memcpy(buffer, next.bytes.data(), count);
    next.bytes.erase(0, count);
    if (next.bytes.empty()) input_.pop_front();
    return static_cast<std::ptrdiff_t>(count);
}

void SimulatedPlatform::enterKeyMode() {
    inKeyMode_ = true;
    ++keyModeEntries_;
}

void SimulatedPlatform::leaveKeyMode() {
    if (interactive_) {
        // A terminal drops what was typed and not read.
        while (!input_.empty() && input_.front().atMs <= nowMs_) input_.pop_front();
    }
    inKeyMode_ = false;
}

bool SimulatedPlatform::replaceFileAtomically(const std::string& path, std::string_view contents) {
    if (writesFail_) return false;
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

}  // namespace talvoren
