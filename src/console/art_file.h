// Copies a picture file to the console.
#pragma once

#include <string>

namespace talvoren {

// Streams the file at `path` to the console line by line, in constant memory:
// a carriage return before a line end is dropped and a last line without a
// line end gets one. On a console each line is cut at its width and every
// other control byte shows as "?"; piped, every other byte passes as it is. A file that cannot be opened
// (missing, unreadable, a folder) prints "Unable to open file" instead. A bare file name not found in the
// working folder is looked up in the installed data folder.
void printArtFile(std::string path);

}  // namespace talvoren
