// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
// Tests work in it as their current directory while it lives; a fuzz target stays where it was, as
// libFuzzer writes its findings to the current directory.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
  public:
    enum class Enter { yes, no };
    explicit TempFolder(Enter enter = Enter::yes);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return root; }

    // Replaces the file at a path relative to the folder with the text, making the folders on the
    // way, and answers its path. Throws if the file cannot be written: a test that read a stale or
    // empty file would pass without testing anything.
    std::filesystem::path write(const std::string& relativePath,
                                const std::string& text = "") const;
    // Makes a folder (and its parents) at a path relative to the folder.
    void makeFolder(const std::string& relativePath) const;

  private:
    std::filesystem::path root;
    std::filesystem::path previousDirectory;  // empty when the folder was not entered
};
