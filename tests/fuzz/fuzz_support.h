// What the fuzz targets share: a folder for the files they hand to code that reads by path, and
// the way a target stops on a property that does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder, removed with its content when it goes
// (a target's is static, so at the end of the run).
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return root; }

    // Replaces the file name in the folder with the bytes, and answers its path.
    std::string write(const std::string& name, const std::uint8_t* data, std::size_t size) const;

  private:
    std::filesystem::path root;
};

// Prints what does not hold and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void propertyFailed(const std::string& what);

inline void require(bool holds, const std::string& what) {
    if (!holds) propertyFailed(what);
}
