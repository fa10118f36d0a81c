// Copies a picture file to the console.
#pragma once

#include <cstddef>
#include <string>

#include "platform/files.h"

namespace talvoren {

// The largest picture shown. A file past either bound is no picture the game
// shows: it is passed over as a missing one would be.
inline constexpr std::size_t kLargestPictureBytes = std::size_t{64} * 1024;
inline constexpr std::size_t kLongestPictureLines = 200;

// Shows the picture `path` as streamPicture does. A bare file name is looked
// for in the working folder, then beside the program, then in the installed
// data folder; a path with a folder only there. The first place with a file
// of at most kLargestPictureBytes bytes and kLongestPictureLines lines wins;
// where none has one (missing, unreadable, a folder, too large), "Unable to
// open file" is printed instead.
void printArtFile(const std::string& path);

// Streams all of `file` to the console line by line, in constant memory and
// with no bound: a carriage return before a line end is dropped and a last
// line without a line end gets one. On a terminal, whether or not it reports
// its width, every other control byte shows as "?" and, where the width is
// known, each line is cut at it; piped, every other byte passes as it is.
void streamPicture(ReadableFile& file);

}  // namespace talvoren
