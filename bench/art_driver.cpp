// Shows one picture file on standard output with the game's picture display,
// on the real platform, and nothing else: `art_driver FILE`.
#include <cstdio>
#include <string>

#include "console/art_file.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: art_driver FILE\n", stderr);
        return 2;
    }
    talvoren::Platform& out = talvoren::nativePlatform();
    talvoren::setPlatform(out);
    talvoren::printArtFile(argv[1]);
    out.flush();
    return 0;
}
