#include "scripted_dice.h"

#include <stdexcept>
#include <string>

namespace talvoren::test_support {

ScriptedDice::ScriptedDice(std::vector<std::int32_t> values, Afterwards afterwards)
    : values_(std::move(values)), afterwards_(afterwards) {}

std::int32_t ScriptedDice::roll(std::int32_t lo, std::int32_t hi) {
    ranges_.emplace_back(lo, hi);
    if (hi < lo) return lo;  // as the game's own dice do
    if (next_ == values_.size()) return afterwards_ == Afterwards::Lowest ? lo : hi;
    const std::int32_t value = values_[next_++];
    if (value < lo || value > hi) {
        throw std::out_of_range("scripted roll " + std::to_string(next_) + " is " + std::to_string(value) +
                                ", outside the range " + std::to_string(lo) + " to " + std::to_string(hi));
    }
    return value;
}

}  // namespace talvoren::test_support
