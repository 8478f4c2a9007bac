// The simulator's outputs. A regular file (or a path of no file yet) is written whole or not at
// all: into a temporary file beside it, renamed into place at the end with the old file's mode,
// so that a failed or interrupted run leaves the file that was there before untouched. A pipe, a
// terminal or another device is a stream: written directly, as the run goes, which cannot be
// taken back.
#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class OutputFile {
  public:
    // How the output is written: in order (a stream may take it directly), or by a writer that
    // seeks back (a WAV's header), which needs a file even for a stream: one in the system's
    // temporary folder, copied into the stream at the end.
    enum class Access { sequential, seeking };

    // Opens where to write target. Throws std::invalid_argument naming target when the output
    // must not be written at all (a regular file with other names: hard links would keep the
    // old contents), std::runtime_error naming target and the system's reason when it cannot be
    // opened.
    explicit OutputFile(std::filesystem::path target, Access access = Access::sequential);
    ~OutputFile();  // removes the temporary file unless it was put in place
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The output as the user named it.
    const std::filesystem::path& target() const { return given; }

    // Whether writes go straight to a pipe, terminal or device.
    bool isStream() const { return stream; }

    // Where to write now: an open descriptor, and a stream over it.
    int descriptor() const { return fd; }
    std::ostream& out();

    // Everything written so far, flushed and checked: throws std::runtime_error naming the
    // target and the system's reason (a full disk, a file-size limit) when any of it failed.
    void finish();

    // Throws the error of a writer that failed on this output with errno's reason.
    [[noreturn]] void failed(int error) const;

    // Finishes every output and puts the files in place, or none: when one cannot be, those put
    // in place already get their old files back (a file that was not there is removed again),
    // and the error is thrown. Streams copied from a temporary file come last, as they cannot be
    // taken back.
    static void commitAll(const std::vector<OutputFile*>& files);

  private:
    void commit();
    void closeDescriptor();

    std::filesystem::path given, real, temporary;  // temporary: empty for a stream written directly
    bool stream = false;
    int fd = -1;
    unsigned mode = 0;  // the regular file's permissions: the old file's, else the umask's
    bool committed = false;
    class Buffer;
    std::unique_ptr<Buffer> buffer;
    std::unique_ptr<std::ostream> text;
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

// Whether two paths name one file, through links and other spellings.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The tools' own temporary folder, a Linux path used as given: TMPDIR, else /tmp; absolute.
std::filesystem::path toolsTemporaryFolder();
