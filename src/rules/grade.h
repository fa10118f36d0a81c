// The timing bar's grades: what the press makes of a rolled blow or heal.
#pragma once

#include <cstdint>
#include <string_view>

namespace talvoren {

enum class Grade { Hit, Critical, Miss };

// The bar's zones by the cells filled at the press: a Hit below 20, a
// Critical from 20 to 25, a Miss from 26 on.
inline constexpr std::int32_t kCriticalFromFill = 20;
inline constexpr std::int32_t kMissFromFill = 26;

// The grade of a press seen with `filled` cells filled (1 or more).
Grade gradeForFill(std::int32_t filled);

// The grade as the screen shows it under the bar: "Hit", "Critical" or "Miss".
std::string_view gradeText(Grade grade);

}  // namespace talvoren
