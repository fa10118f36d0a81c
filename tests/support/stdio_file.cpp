#include "stdio_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace talvoren {

namespace {

class StdioFile final : public ReadableFile {
public:
    explicit StdioFile(std::FILE* file) : file_(file) {}
    ~StdioFile() override { std::fclose(file_); }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        const std::size_t got = std::fread(buffer, 1, capacity, file_);
        if (got == 0 && std::ferror(file_) != 0) return -1;
        return static_cast<std::ptrdiff_t>(got);
    }

private:
    std::FILE* file_;
};

}  // namespace

std::unique_ptr<ReadableFile> openRegularFileWithStdio(const std::string& path) {
    // Opening a pipe or a device could wait for ever or never end; only plain files are read.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return nullptr;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return nullptr;
    return std::make_unique<StdioFile>(file);
}

}  // namespace talvoren
