// make-test-pe: writes one of the test PE images to a file, for tests that check a whole game
// folder outside a GoogleTest program (the packaged plug-in under the win32 build), and the fuzz
// target's seeds.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/pe_image.h"

int main(int argc, char** argv) {
    const std::string kind = argc == 3 ? argv[1] : "";
    if (kind != "game" && kind != "bass" && kind != "plugin") {
        std::fprintf(stderr, "usage: make-test-pe game|bass|plugin FILE\n");
        return 2;
    }
    std::ofstream file(argv[2], std::ios::binary);
    file << (kind == "game" ? gameProgram() : kind == "bass" ? audioLibrary() : pluginLibrary());
    file.close();
    if (!file) {
        std::fprintf(stderr, "make-test-pe: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
