// The game's objects on the machine it was built for, made once here from
// the back end that the build links in.
#include "platform/back_end.h"
#include "platform/system_files.h"

namespace talvoren {

Terminal& nativeTerminal() {
    return backEndConsole();
}

Clock& nativeClock() {
    return backEndConsole();
}

FileSystem& nativeFileSystem() {
    return backEndFileSystem();
}

Files& nativeFiles() {
    // Made with the file system at once, so that its set-up (on POSIX, a
    // write past a file size limit no longer kills the game) holds from the start.
    static SystemFiles files(backEndFileSystem());
    return files;
}

}  // namespace talvoren
