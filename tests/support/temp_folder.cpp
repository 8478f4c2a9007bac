#include "tests/support/temp_folder.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder(Enter enter) {
    std::string pattern = (fs::temp_directory_path() / "ostrelle-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
    root = pattern;
    if (enter == Enter::no) return;
    previousDirectory = fs::current_path();
    fs::current_path(root);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!previousDirectory.empty()) fs::current_path(previousDirectory, ignored);
    fs::remove_all(root, ignored);
}

fs::path TempFolder::write(const std::string& relativePath, const std::string& text) const {
    fs::path file = root / relativePath;
    fs::create_directories(file.parent_path());
    if (!(std::ofstream(file, std::ios::binary | std::ios::trunc) << text).flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
    return file;
}

void TempFolder::makeFolder(const std::string& relativePath) const {
    fs::create_directories(root / relativePath);
}
