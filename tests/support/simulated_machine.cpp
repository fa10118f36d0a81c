#include "simulated_machine.h"

#include <algorithm>
#include <cstring>

#include "platform/save_policy.h"
#include "stdio_file.h"

namespace talvoren {

SimulatedMachine::SimulatedMachine(std::int64_t startSecond)
    : startSecond_(startSecond), disk_(nativeFileSystem()) {
    // A machine that never loses power need not wait for the disk.
    disk_.skipFlushes(true);
}

void SimulatedMachine::typeAt(std::int64_t atMs, std::string_view bytes) {
    // Keep arrivals in time order; equal times keep the order they were typed.
    auto later = std::upper_bound(input_.begin(), input_.end(), atMs,
                                  [](std::int64_t at, const Arrival& arrival) { return at < arrival.atMs; });
    input_.insert(later, Arrival{atMs, std::string(bytes)});
}

std::vector<std::string> SimulatedMachine::screens() const {
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

std::size_t SimulatedMachine::unreadInput() const {
    std::size_t total = 0;
    for (const Arrival& arrival : input_) total += arrival.bytes.size();
    return total;
}

void SimulatedMachine::marker(std::string_view text) {
    if (showControls_) record(text);
}

void SimulatedMachine::record(std::string_view text) {
    outputBytes_ += text.size();
    transcript_.append(text);
    const std::size_t limit = budget_.transcriptBytes;
    if (limit != 0 && transcript_.size() > 2 * limit) transcript_.erase(0, transcript_.size() - limit);
}

bool SimulatedMachine::inputBudgetSpent() {
    ++reads_;
    if ((budget_.reads != 0 && reads_ > budget_.reads) ||
        (budget_.virtualMs != 0 && nowMs_ >= budget_.virtualMs)) {
        budgetSpent_ = true;
    }
    return budgetSpent_;
}

void SimulatedMachine::write(std::string_view text) {
    if (notingTimes_) timedWrites_.emplace_back(nowMs_, text);
    record(text);
}

void SimulatedMachine::flush() {
    sleepMs(drawMs_);
    if (flushes_++ == stallAfter_) sleepMs(stallMs_);
}

void SimulatedMachine::homeCursor() {
    if (notingTimes_) homeTimes_.push_back(nowMs_);
    marker("<home>");
}

void SimulatedMachine::setTextColour(TextColour colour) {
    colour_ = colour;
    marker(colour == TextColour::Default ? std::string("<colour default>")
                                         : "<colour " + std::to_string(static_cast<int>(colour)) + ">");
}

void SimulatedMachine::setCursorVisible(bool visible) {
    if (!width_) return;
    cursorVisible_ = visible;
    marker(visible ? "<cursor shown>" : "<cursor hidden>");
}

void SimulatedMachine::setTitle(std::string_view title) {
    marker("<title " + std::string(title) + ">");
}

void SimulatedMachine::requestWindowSize(int widthPixels, int heightPixels) {
    marker("<window " + std::to_string(widthPixels) + "x" + std::to_string(heightPixels) + ">");
}

void SimulatedMachine::sleepMs(std::int64_t milliseconds) {
    if (milliseconds > 0) nowMs_ += milliseconds;
}

std::ptrdiff_t SimulatedMachine::readInput(char* buffer, std::size_t capacity, bool wait) {
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

void SimulatedMachine::enterKeyMode() {
    inKeyMode_ = true;
    ++keyModeEntries_;
}

void SimulatedMachine::leaveKeyMode() {
    if (interactive_) {
        // A terminal drops what was typed and not read.
        while (!input_.empty() && input_.front().atMs <= nowMs_) input_.pop_front();
    }
    inKeyMode_ = false;
}

namespace {

// A real file that reports a read error once `left` bytes have been read.
class ShortFile final : public ReadableFile {
public:
    ShortFile(std::unique_ptr<ReadableFile> file, std::size_t left) : file_(std::move(file)), left_(left) {}
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        if (left_ == 0) return -1;
        const std::ptrdiff_t got = file_->read(buffer, std::min(capacity, left_));
        if (got > 0) left_ -= static_cast<std::size_t>(got);
        return got;
    }

private:
    std::unique_ptr<ReadableFile> file_;
    std::size_t left_;
};

}  // namespace

void SimulatedMachine::failSaves(const std::string& reason) {
    disk_.heal();
    if (!reason.empty()) disk_.fail(FileStep::createLocked, FileProblem::other, reason, 1, true);
}

SaveOutcome SimulatedMachine::replace(const std::string& path, std::string_view contents) {
    return replaceFile(disk_, path, contents);
}

std::unique_ptr<ReadableFile> SimulatedMachine::openForReading(const std::string& path) {
    if (std::find(unopenable_.begin(), unopenable_.end(), path) != unopenable_.end()) return nullptr;
    std::unique_ptr<ReadableFile> file = openRegularFileWithStdio(path);
    for (const auto& [shortPath, bytes] : shortReads_) {
        if (file && shortPath == path) return std::make_unique<ShortFile>(std::move(file), bytes);
    }
    return file;
}

}  // namespace talvoren
