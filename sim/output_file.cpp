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
    : target(std::move(target)), copyInto(isSpecialFile(this->target)) {
    const fs::path pattern = copyInto ? fs::temp_directory_path() / "ostrelle-sim-output-XXXXXX"
                                      : this->target.parent_path() /
                                            ("." + this->target.filename().string() + ".XXXXXX");
    temporary = makeTemporary(pattern, this->target);
}

OutputFile::~OutputFile() {
    if (committed && !copyInto) return;
    std::error_code error;
    fs::remove(temporary, error);
}

void OutputFile::commit() {
    if (copyInto) {
        copyBytes(temporary, target);
    } else {
        // mkstemp made the file for us alone (0600): the output gets the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        std::error_code error;
        fs::permissions(temporary, static_cast<fs::perms>(0666 & ~mask), error);
        if (rename(temporary.c_str(), target.c_str()) != 0) {
            throw std::runtime_error(target.string() + ": cannot write");
        }
    }
    committed = true;
}

void refuseSameFiles(const std::vector<NamedPath>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        for (std::size_t j = i + 1; j < paths.size(); ++j) {
            if (paths[i].path.empty() || paths[j].path.empty()) continue;
            if (!sameFile(paths[i].path, paths[j].path)) continue;
            throw std::invalid_argument(paths[j].role + " " + paths[j].path +
                                        " is the same file as " + paths[i].role + " " +
                                        paths[i].path + ": nothing was written");
        }
    }
}
