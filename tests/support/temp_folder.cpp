#include "tests/support/temp_folder.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() : previousDirectory(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "ostrelle-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
    root = pattern;
    fs::current_path(root);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::current_path(previousDirectory, ignored);
    fs::remove_all(root, ignored);
}

void TempFolder::write(const std::string& relativePath, const std::string& text) const {
    fs::path file = root / relativePath;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

void TempFolder::makeFolder(const std::string& relativePath) const {
    fs::create_directories(root / relativePath);
}
