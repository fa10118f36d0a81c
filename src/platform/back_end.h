// What the one back end in the build gives (the CMake source list picks it:
// POSIX, Windows or the browser); native.cpp makes the game's objects of it.
#pragma once

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/terminal.h"

namespace talvoren {

// A back end's terminal, which is its clock too: a pause shows what was
// written first and keeps the keys typed meanwhile.
class Console : public Terminal, public Clock {};

// The back end's console, made on first use.
Console& backEndConsole();

// The back end's file system, made on first use.
FileSystem& backEndFileSystem();

}  // namespace talvoren
