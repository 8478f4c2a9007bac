#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "ostrelle-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) propertyFailed("cannot make a folder: " + pattern);
    root = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string ScratchFolder::write(const std::string& name, const std::uint8_t* data,
                                 std::size_t size) const {
    const fs::path file = root / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    // A target that quietly read a stale or empty file would pass without testing anything.
    if (!out.flush()) propertyFailed("cannot write " + file.string());
    return file.string();
}

void propertyFailed(const std::string& what) {
    std::fprintf(stderr, "property failed: %s\n", what.c_str());
    std::abort();
}
