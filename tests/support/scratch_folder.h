// Scratch folders for tests and fuzz harnesses: each one new, empty and of
// this process's own, so that suites run side by side never meet.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace talvoren::test_support {

// Folder of the shipped monster pictures.
std::filesystem::path pictureFolder();

// A new empty folder under the system's temporary folder, named
// "talvoren-<label>-<random>" and made by this process alone; removed with
// everything in it when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view label = "test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `contents` to the file `name` in the folder (making the folders
    // on its way), replacing what was there.
    void write(const std::filesystem::path& name, std::string_view contents) const;
    // The bytes of the file `name`, or nothing when it cannot be read.
    std::string read(const std::filesystem::path& name) const;
    bool holds(const std::filesystem::path& name) const;
    // Copies the four shipped monster pictures into the folder.
    void addPictures() const;

private:
    std::filesystem::path path_;
};

}  // namespace talvoren::test_support
