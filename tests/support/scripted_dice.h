// Dice for tests: fights that roll what the test says, whatever the clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "rules/dice.h"

namespace talvoren::test_support {

// Rolls the given values in turn, then the low end (or the high end) of
// every range asked for. Notes every range asked for.
class ScriptedDice final : public Dice {
public:
    enum class Afterwards { Lowest, Highest };

    explicit ScriptedDice(std::vector<std::int32_t> values = {}, Afterwards afterwards = Afterwards::Lowest);

    // Throws std::out_of_range when the next scripted value lies outside lo..hi.
    std::int32_t roll(std::int32_t lo, std::int32_t hi) override;

    // Every range asked for so far, in order.
    const std::vector<std::pair<std::int32_t, std::int32_t>>& ranges() const { return ranges_; }
    // Scripted values not rolled yet.
    std::size_t unrolled() const { return values_.size() - next_; }

private:
    std::vector<std::int32_t> values_;
    std::size_t next_ = 0;
    Afterwards afterwards_;
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges_;
};

}  // namespace talvoren::test_support
