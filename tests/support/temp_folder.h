// A fresh folder under the system's temporary folder that the test works in: the current directory
// while it lives, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return root; }

    // Writes text to a file at a path relative to the folder, making the folders on the way.
    void write(const std::string& relativePath, const std::string& text = "") const;
    // Makes a folder (and its parents) at a path relative to the folder.
    void makeFolder(const std::string& relativePath) const;

  private:
    std::filesystem::path root;
    std::filesystem::path previousDirectory;
};
