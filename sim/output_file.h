// Outputs written whole or not at all: each is written to a temporary file and only then put in
// place, so that a failed or interrupted run leaves the file that was there before untouched.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class OutputFile {
  public:
    // A temporary file for target: beside the file it names, links followed (so that it can be
    // renamed into place there and a link is never replaced), or, when that is no regular file (a
    // device, a pipe), in the system's temporary folder. Throws std::runtime_error naming the
    // target when the temporary file cannot be made.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();  // removes the temporary file unless it was put in place
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where to write now.
    std::string path() const { return temporary.string(); }

    // Puts what was written in place: renamed over a regular file, copied into anything else.
    // Throws std::runtime_error naming the target when that fails or is cut short.
    void commit();

    // Puts every file in place, or none: when one cannot be, those put in place already get
    // their old files back (a file that was not there is removed again), and the error is
    // thrown. Outputs that are copied into a device or a pipe come last, as they cannot be taken
    // back.
    static void commitAll(const std::vector<OutputFile*>& files);

  private:
    std::filesystem::path target, real, temporary;
    bool copyInto;
    bool committed = false;
};

// Throws std::invalid_argument naming the path when an output can be known to fail before any
// work: an empty path, standard output itself (which carries the timeline), a folder, or a folder
// to write into that is not there. role is what the path is for ("--csv").
void checkOutputPath(const std::string& role, const std::string& path);

// A path named on the command line, with what it is for ("--csv", "the scenario").
struct NamedPath {
    std::string role;
    std::string path;
};

// Throws std::invalid_argument naming both when an output names the same file as an input or an
// earlier output, through links and other spellings included; a path of no file yet is compared
// by its resolved spelling. Empty paths are left out.
void refuseSameFiles(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs);
