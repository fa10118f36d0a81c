#include "grade.h"

namespace talvoren {

Grade gradeForFill(std::int32_t filled) {
    if (filled >= kMissFromFill) return Grade::Miss;
    if (filled >= kCriticalFromFill) return Grade::Critical;
    return Grade::Hit;
}

std::string_view gradeText(Grade grade) {
    switch (grade) {
        case Grade::Critical: return "Critical";
        case Grade::Miss: return "Miss";
        case Grade::Hit: break;
    }
    return "Hit";
}

}  // namespace talvoren
