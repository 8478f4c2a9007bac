#include "sim/plugin_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "common/path_text.h"
#include "compat/windows_path.h"
#include "platform/win32_api.h"
#include "sim/output_file.h"
#include "sound/sound_player.h"
#include "standins/audio/sound_refusal.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder in the tools' temporary folder (TMPDIR, else /tmp), as an absolute path: the
// plug-in's relative paths are read against the game's folder, never against this one.
fs::path temporaryFolder(const std::string& what) {
    const fs::path base = toolsTemporaryFolder();
    std::string pattern = (base / "ostrelle-sim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("the temporary folder " + base.string() + " (TMPDIR): " +
                                 std::strerror(errno) + ", so there is nowhere to put " + what);
    }
    return pattern;
}

// Copies the settings file in as the plug-in's Ostrelle.ini: a file that cannot be read is
// blamed on itself, a copy that cannot be written on the temporary folder.
void copySettings(const fs::path& settingsFile, const fs::path& folder) {
    std::error_code error;
    const bool readable =
        fs::is_regular_file(settingsFile, error) && access(settingsFile.c_str(), R_OK) == 0;
    if (!readable) {
        throw std::runtime_error(settingsFile.string() + ": cannot read the settings file");
    }
    if (!fs::copy_file(settingsFile, folder / "Ostrelle.ini", error)) {
        throw std::runtime_error("the temporary folder " + folder.parent_path().string() +
                                 " (TMPDIR): cannot copy the settings file " +
                                 settingsFile.string() + " there: " + error.message());
    }
}

}  // namespace

PluginFolder::PluginFolder(const fs::path& settingsFile, const fs::path& soundFolder,
                           const fs::path& gameFolder)
    : soundFolder(soundFolder), gameGiven(!gameFolder.empty()) {
    std::error_code error;
    for (const fs::path* given : {&soundFolder, &gameFolder}) {
        if (!given->empty() && !fs::is_directory(*given, error)) {
            throw std::runtime_error(given->string() + ": no such folder");
        }
    }
    folder = temporaryFolder("the plug-in");
    try {
        game = gameGiven ? fs::absolute(gameFolder) : temporaryFolder("the game");
    } catch (...) {
        fs::remove_all(folder, error);
        throw;
    }
    try {
        copySettings(settingsFile, folder);
    } catch (...) {
        fs::remove_all(folder, error);
        if (!gameGiven) fs::remove_all(game, error);
        throw;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(soundFolder, error)) {
        const fs::path name = entry.path().filename();
        if (platform::sameWindowsName(name.string(), "Ostrelle.ini")) continue;
        fs::create_symlink(fs::absolute(entry.path()), folder / name, error);
    }
    platform::setCurrentFolder(game.string());
    platform::setLinuxFolders({folder.string()});
}

PluginFolder::~PluginFolder() {
    platform::setLinuxFolders({});
    platform::setCurrentFolder("");
    std::error_code error;
    fs::remove_all(folder, error);
    if (!gameGiven) fs::remove_all(game, error);
}

PluginFolder::SoundSource PluginFolder::soundSource(const std::string& fileName) const {
    static PathText path;  // 32 KiB: not on the stack
    if (!findSoundFile(folder.string(), fileName, path)) return {};
    std::string found = platform::linuxPathOf(path.view());
    if (found.rfind(folder.string(), 0) == 0) {
        found = soundFolder.string() + found.substr(folder.string().size());
    }
    return {found, audio::soundRefusal(path.c_str())};
}
