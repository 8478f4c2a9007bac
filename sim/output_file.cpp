#include "sim/output_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <streambuf>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The name of a temporary file beside one called name, short enough for any file system that
// takes name itself (255 bytes): ".name.XXXXXX", name cut to fit.
std::string temporaryName(const std::string& name) {
    constexpr std::size_t longestName = 255;
    const std::string suffix = ".XXXXXX";
    return "." + name.substr(0, longestName - 1 - suffix.size()) + suffix;
}

// The file an output path names: links followed, also one to a file not made yet (at most 40
// of them, as the kernel allows).
fs::path realTarget(const fs::path& target) {
    std::error_code error;
    fs::path path = fs::absolute(target, error);
    for (int hops = 0; hops < 40 && fs::is_symlink(path, error); ++hops) {
        const fs::path next = fs::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    const fs::path real = fs::weakly_canonical(path, error);
    return error ? path : real;
}

// Whether path names something that exists and is neither a regular file nor a folder: a pipe
// (named, or one of the shell's /dev/fd/N), a terminal, a device. Asked of the path itself, with
// the kernel following its links: /dev/fd/N leads to "pipe:[N]", which is no path.
bool isStreamPath(const fs::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

std::string reason(int error) {
    return std::strerror(error);
}

// A new empty file from a mkstemp pattern, open; throws naming target, the folder and the
// system's reason when it cannot be made.
int makeTemporary(std::string& pattern, const fs::path& target) {
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error(target.string() + ": cannot write: " + reason(errno) +
                                 " (making a new file in " +
                                 fs::path(pattern).parent_path().string() + ")");
    }
    return fd;
}

// Writes all of bytes to fd; false with errno set when the system took less.
bool writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = write(fd, bytes, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = EIO;
            return false;
        }
        bytes += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

// Copies the file at from into fd, every byte written or an error with errno set.
bool copyInto(const fs::path& from, int to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    char block[65536];
    bool whole = true;
    for (ssize_t got; whole && (got = read(in, block, sizeof block)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        whole = got > 0 && writeAll(to, block, static_cast<std::size_t>(got));
    }
    const int error = errno;
    close(in);
    errno = error;
    return whole;
}

}  // namespace

// A stream buffer over a descriptor that keeps the first write error's errno.
class OutputFile::Buffer : public std::streambuf {
  public:
    explicit Buffer(int fd) : fd(fd) { setp(block, block + sizeof block); }
    int error = 0;

    int sync() override {
        const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        if (error == 0 && !writeAll(fd, pbase(), size)) error = errno;
        setp(block, block + sizeof block);
        return error == 0 ? 0 : -1;
    }

  protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }

  private:
    int fd;
    char block[65536];
};

OutputFile::OutputFile(fs::path target, Access access)
    : given(std::move(target)), stream(isStreamPath(given)) {
    if (stream) {
        fd = open(given.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) failed(errno);
        if (access == Access::sequential) return;
        // Written whole in the tools' temporary folder first, then copied in.
        real = given;
        std::string pattern = (toolsTemporaryFolder() / "ostrelle-sim-output-XXXXXX").string();
        const int streamFd = fd;
        fd = -1;
        try {
            fd = makeTemporary(pattern, given);
        } catch (...) {
            close(streamFd);
            throw;
        }
        temporary = pattern;
        close(streamFd);
        return;
    }
    real = realTarget(given);
    struct stat old {};
    if (stat(real.c_str(), &old) == 0) {
        if (old.st_nlink > 1) {
            throw std::invalid_argument(
                given.string() + ": the file has " + std::to_string(old.st_nlink) +
                " names (hard links); a new file put in its place would leave the other names "
                "with the old contents, so nothing was written. Remove the other names, or "
                "name another file");
        }
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    std::string pattern = (real.parent_path() / temporaryName(real.filename().string())).string();
    fd = makeTemporary(pattern, given);
    temporary = pattern;
}

OutputFile::~OutputFile() {
    text.reset();
    buffer.reset();
    closeDescriptor();
    if (committed && !stream) return;
    std::error_code error;
    if (!temporary.empty()) fs::remove(temporary, error);
}

std::ostream& OutputFile::out() {
    if (!text) {
        buffer = std::make_unique<Buffer>(fd);
        text = std::make_unique<std::ostream>(buffer.get());
    }
    return *text;
}

void OutputFile::failed(int error) const {
    throw std::runtime_error(given.string() + ": cannot write all of it: " + reason(error));
}

void OutputFile::closeDescriptor() {
    if (fd >= 0) close(fd);
    fd = -1;
}

void OutputFile::finish() {
    if (text) {
        text->flush();
        if (buffer->error != 0) failed(buffer->error);
        text.reset();
        buffer.reset();
    }
    if (fd < 0) return;
    // A regular file's data reaches the disk before its name moves: the rename must not put a
    // file in place whose blocks a full disk will refuse later.
    const bool synced = stream ? true : fsync(fd) == 0;
    const int error = errno;
    const int closed = close(fd);
    fd = -1;
    if (!synced) failed(error);
    if (closed != 0) failed(errno);
}

void OutputFile::commit() {
    if (stream) {
        if (temporary.empty()) return;
        const int into = open(real.c_str(), O_WRONLY | O_CLOEXEC);
        const bool whole = into >= 0 && copyInto(temporary, into);
        const int error = errno;
        if (into >= 0) close(into);
        if (!whole) failed(error);
        return;
    }
    if (chmod(temporary.c_str(), mode) != 0 || rename(temporary.c_str(), real.c_str()) != 0) {
        throw std::runtime_error(given.string() + ": cannot put it in place: " + reason(errno));
    }
    committed = true;
}

void OutputFile::commitAll(const std::vector<OutputFile*>& files) {
    for (OutputFile* file : files) file->finish();
    struct Kept {
        OutputFile* file;
        fs::path old;  // the file that was there, linked aside; empty when there was none
    };
    std::vector<Kept> done;
    const auto takeBack = [&] {
        std::error_code error;
        for (const Kept& kept : done) {
            if (kept.old.empty()) {
                fs::remove(kept.file->real, error);
            } else {
                fs::rename(kept.old, kept.file->real, error);
            }
        }
    };
    try {
        for (OutputFile* file : files) {
            if (file->stream) continue;
            Kept kept{file, {}};
            std::error_code error;
            if (fs::is_regular_file(file->real, error)) {
                std::string pattern =
                    (file->real.parent_path() / temporaryName(file->real.filename().string()))
                        .string();
                close(makeTemporary(pattern, file->given));
                kept.old = pattern;
                // A link costs nothing; a file system without links gets a copy.
                fs::remove(kept.old);
                fs::create_hard_link(file->real, kept.old, error);
                if (error) fs::copy_file(file->real, kept.old);
            }
            done.push_back(kept);
            file->commit();
        }
    } catch (const std::exception&) {
        takeBack();
        throw;
    }
    std::error_code error;
    for (const Kept& kept : done) {
        if (!kept.old.empty()) fs::remove(kept.old, error);
    }
    for (OutputFile* file : files) {
        if (file->stream) file->commit();
    }
}

void checkOutputPath(const std::string& role, const std::string& path) {
    if (path.empty()) throw std::invalid_argument(role + ": an empty path");
    struct stat output {
    }, standardOutput{};
    if (path == "-" ||
        (stat(path.c_str(), &output) == 0 && fstat(1, &standardOutput) == 0 &&
         output.st_dev == standardOutput.st_dev && output.st_ino == standardOutput.st_ino)) {
        throw std::invalid_argument(role + " " + path +
                                    ": standard output carries the timeline; name a file");
    }
    if (isStreamPath(path)) return;
    std::error_code error;
    if (fs::is_directory(realTarget(path), error)) {
        throw std::invalid_argument(role + " " + path + ": a folder, not a file");
    }
    const fs::path folder = realTarget(path).parent_path();
    if (!fs::is_directory(folder, error)) {
        throw std::invalid_argument(role + " " + path + ": no such folder " + folder.string());
    }
}

fs::path toolsTemporaryFolder() {
    const char* given = std::getenv("TMPDIR");
    return fs::absolute(given != nullptr && *given != '\0' ? given : "/tmp");
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    const fs::path left = fs::weakly_canonical(fs::absolute(a), error);
    const fs::path right = fs::weakly_canonical(fs::absolute(b), error);
    return !error && left == right;
}

void refuseSameFiles(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs) {
    for (std::size_t j = 0; j < outputs.size(); ++j) {
        const NamedPath& output = outputs[j];
        std::vector<NamedPath> before = inputs;
        before.insert(before.end(), outputs.begin(), outputs.begin() + static_cast<long>(j));
        for (const NamedPath& other : before) {
            if (output.path.empty() || other.path.empty()) continue;
            if (!sameFile(other.path, output.path)) continue;
            throw std::invalid_argument(output.role + " " + output.path + " is the same file as " +
                                        other.role + " " + other.path + ": nothing was written");
        }
    }
}
