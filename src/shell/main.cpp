#include "platform/platform.h"
#include "shell/shell.h"

int main() {
    talvoren::setPlatform(talvoren::nativePlatform());
    return talvoren::runGame();
}
