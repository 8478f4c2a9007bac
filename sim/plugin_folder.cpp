#include "sim/plugin_folder.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

PluginFolder::PluginFolder(const fs::path& settingsFile, const fs::path& soundFolder) {
    std::string pattern = (fs::temp_directory_path() / "ostrelle-sim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder for the plug-in");
    }
    folder = pattern;
    std::error_code error;
    if (!fs::is_regular_file(settingsFile, error) ||
        !fs::copy_file(settingsFile, folder / "Ostrelle.ini", error)) {
        fs::remove_all(folder, error);
        throw std::runtime_error(settingsFile.string() + ": cannot read the settings file");
    }
    fs::create_directory_symlink(fs::absolute(soundFolder), folder / "Radio SFX", error);
}

PluginFolder::~PluginFolder() {
    std::error_code error;
    fs::remove_all(folder, error);
}
