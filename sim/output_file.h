// Outputs written whole or not at all: each is written to a temporary file and only then put in
// place, so that a failed or interrupted run leaves the file that was there before untouched.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class OutputFile {
  public:
    // A temporary file for target: beside it (so that it can be renamed into place), or, when the
    // target exists and is no regular file (a device, a pipe), in the system's temporary folder.
    // Throws std::runtime_error naming the target when the temporary file cannot be made.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();  // removes the temporary file unless it was put in place
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where to write now.
    std::string path() const { return temporary.string(); }

    // Puts what was written in place: renamed over a regular file, copied into anything else.
    // Throws std::runtime_error naming the target when that fails or is cut short.
    void commit();

  private:
    std::filesystem::path target, temporary;
    bool copyInto;
    bool committed = false;
};

// A path named on the command line, with what it is for ("--csv", "the scenario").
struct NamedPath {
    std::string role;
    std::string path;
};

// Throws std::invalid_argument naming both when two of the paths name the same file, through
// links and other spellings included; a path of no file yet is compared by its resolved spelling.
void refuseSameFiles(const std::vector<NamedPath>& paths);
