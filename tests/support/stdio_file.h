// Files read with the C library, for the simulated machine, which reads the
// real working folder the same way on every system.
#pragma once

#include <memory>
#include <string>

#include "platform/files.h"

namespace talvoren {

// Opens a regular file with the C library; null for anything else.
std::unique_ptr<ReadableFile> openRegularFileWithStdio(const std::string& path);

}  // namespace talvoren
