#include "sim/output_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool isSpecialFile(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    return fs::exists(status) && !fs::is_regular_file(status);
}

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

// A new empty file from a mkstemp pattern; throws naming target when it cannot be made.
fs::path makeTemporary(const fs::path& pattern, const fs::path& target) {
    std::string name = pattern.string();
    const int fd = mkstemp(name.data());
    if (fd < 0) throw std::runtime_error(target.string() + ": cannot write");
    close(fd);
    return name;
}

// Copies the file at from into the one at to, every byte written or an error.
void copyBytes(const fs::path& from, const fs::path& to) {
    std::ifstream in(from, std::ios::binary);
    const int out = open(to.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool whole = in && out >= 0;
    char block[65536];
    while (whole && in) {
        in.read(block, sizeof block);
        for (std::streamsize done = 0; whole && done < in.gcount();) {
            const ssize_t wrote =
                write(out, block + done, static_cast<std::size_t>(in.gcount() - done));
            whole = wrote > 0 || (wrote < 0 && errno == EINTR);
            done += wrote > 0 ? wrote : 0;
        }
    }
    whole = whole && !in.bad();
    if (out >= 0 && close(out) != 0) whole = false;
    if (!whole) throw std::runtime_error(to.string() + ": cannot write all of it");
}

// Two spellings of one file: the same file when both exist, else the same resolved path.
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    const fs::path left = fs::weakly_canonical(fs::absolute(a), error);
    const fs::path right = fs::weakly_canonical(fs::absolute(b), error);
    return !error && left == right;
}

}  // namespace

OutputFile::OutputFile(fs::path target)
    : target(std::move(target)), real(realTarget(this->target)), copyInto(isSpecialFile(real)) {
    const fs::path pattern = copyInto
                                 ? fs::temp_directory_path() / "ostrelle-sim-output-XXXXXX"
                                 : real.parent_path() / temporaryName(real.filename().string());
    temporary = makeTemporary(pattern, this->target);
}

OutputFile::~OutputFile() {
    if (committed && !copyInto) return;
    std::error_code error;
    fs::remove(temporary, error);
}

void OutputFile::commit() {
    if (copyInto) {
        copyBytes(temporary, real);
    } else {
        // mkstemp made the file for us alone (0600): the output gets the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        std::error_code error;
        fs::permissions(temporary, static_cast<fs::perms>(0666 & ~mask), error);
        if (rename(temporary.c_str(), real.c_str()) != 0) {
            throw std::runtime_error(target.string() + ": cannot write");
        }
    }
    committed = true;
}

void OutputFile::commitAll(const std::vector<OutputFile*>& files) {
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
            if (file->copyInto) continue;
            Kept kept{file, {}};
            std::error_code error;
            if (fs::is_regular_file(file->real, error)) {
                kept.old = makeTemporary(
                    file->real.parent_path() / temporaryName(file->real.filename().string()),
                    file->target);
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
        if (file->copyInto) file->commit();
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
    std::error_code error;
    if (fs::is_directory(realTarget(path), error)) {
        throw std::invalid_argument(role + " " + path + ": a folder, not a file");
    }
    const fs::path folder = realTarget(path).parent_path();
    if (!fs::is_directory(folder, error)) {
        throw std::invalid_argument(role + " " + path + ": no such folder " + folder.string());
    }
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
