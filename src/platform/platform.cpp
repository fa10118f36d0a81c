#include "platform/platform.h"

namespace talvoren {

namespace {
Platform* current = nullptr;
}

Platform& platform() {
    if (current == nullptr) current = &nativePlatform();
    return *current;
}

void setPlatform(Platform& backEnd) {
    current = &backEnd;
}

}  // namespace talvoren
