#include "platform/system_files.h"

#include "platform/save_policy.h"

namespace talvoren {

std::unique_ptr<ReadableFile> SystemFiles::openForReading(const std::string& path) {
    return system_.openForReading(path);
}

SaveOutcome SystemFiles::replace(const std::string& path, std::string_view contents) {
    return replaceFile(system_, path, contents);
}

std::string SystemFiles::dataFolder() {
    return system_.dataFolder();
}

std::string SystemFiles::executableFolder() {
    return system_.executableFolder();
}

std::string_view SystemFiles::lineEnd() const {
    return system_.lineEnd();
}

}  // namespace talvoren
