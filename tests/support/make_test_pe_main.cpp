// make-test-pe: writes one of the test PE images to a file, for tests that check a whole game
// folder outside a GoogleTest program (the packaged plug-in under the win32 build), and the fuzz
// target's seeds; or every test game folder into a folder of its own, for the tuner page's check.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/game_folders.h"
#include "tests/support/pe_image.h"

namespace {

namespace fs = std::filesystem;

bool writeFile(const fs::path& path, const std::string& bytes) {
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    file.close();
    if (!file) std::fprintf(stderr, "make-test-pe: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

// Each game folder into out/<its name>/; out must be empty or not there, so nothing is overwritten.
int writeFolders(const fs::path& out) {
    std::error_code error;
    if (fs::exists(out) && !fs::is_empty(out, error)) {
        std::fprintf(stderr, "make-test-pe: %s is not empty\n", out.c_str());
        return 1;
    }
    for (const std::string& name : gameFolderNames()) {
        const GameFiles files = *gameFolder(name);  // kept: the optional is a temporary
        for (const auto& [path, bytes] : files) {
            if (!writeFile(out / name / path, bytes)) return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 3 ? argv[1] : "";
    if (kind == "folders") return writeFolders(argv[2]);
    if (kind != "game" && kind != "bass" && kind != "plugin") {
        std::fprintf(stderr,
                     "usage: make-test-pe game|bass|plugin FILE\n"
                     "       make-test-pe folders FOLDER\n");
        return 2;
    }
    const std::string bytes = kind == "game"   ? gameProgram()
                              : kind == "bass" ? audioLibrary()
                                               : pluginLibrary();
    return writeFile(argv[2], bytes) ? 0 : 1;
}
