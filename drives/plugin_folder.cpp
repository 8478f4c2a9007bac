#include "drives/plugin_folder.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

#include "common/path_text.h"
#include "sound/sound_player.h"

namespace fs = std::filesystem;

PluginFolder::PluginFolder(const fs::path& settingsFile, const fs::path& soundFolder)
    : soundFolder(soundFolder) {
    std::error_code error;
    if (!fs::is_directory(soundFolder, error)) {
        throw std::runtime_error(soundFolder.string() + ": no such folder");
    }
    std::string pattern = (fs::temp_directory_path() / "ostrelle-sim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder for the plug-in");
    }
    folder = pattern;
    if (!fs::is_regular_file(settingsFile, error) ||
        !fs::copy_file(settingsFile, folder / "Ostrelle.ini", error)) {
        fs::remove_all(folder, error);
        throw std::runtime_error(settingsFile.string() + ": cannot read the settings file");
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(soundFolder, error)) {
        const fs::path name = entry.path().filename();
        if (name == "Ostrelle.ini") continue;
        fs::create_symlink(fs::absolute(entry.path()), folder / name, error);
    }
}

PluginFolder::~PluginFolder() {
    std::error_code error;
    fs::remove_all(folder, error);
}

std::string PluginFolder::soundSource(const std::string& fileName) const {
    static PathText path;  // 32 KiB: not on the stack
    std::string found =
        findSoundFile(folder.string(), fileName, path) ? std::string(path.view()) : std::string();
    if (found.rfind(folder.string(), 0) == 0) {
        found = soundFolder.string() + found.substr(folder.string().size());
    }
    for (char& c : found) c = c == '\\' ? '/' : c;
    return found;
}
