#include "platform/platform.h"

namespace talvoren {

namespace {
Platform* current = nullptr;
unsigned changes = 0;
}  // namespace

Platform& platform() {
    if (current == nullptr) current = &nativePlatform();
    return *current;
}

void setPlatform(Platform& backEnd) {
    current = &backEnd;
    ++changes;
}

unsigned platformChanges() {
    return changes;
}

}  // namespace talvoren
