#include "drives/plugin_folder.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

#include "common/path_text.h"
#include "compat/windows_path.h"
#include "platform/win32_api.h"
#include "sound/sound_player.h"
#include "standins/audio/sound_refusal.h"

namespace fs = std::filesystem;

namespace {

fs::path temporaryFolder(const std::string& what) {
    std::string pattern = (fs::temp_directory_path() / "ostrelle-sim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder for " + what);
    }
    return pattern;
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
    if (!fs::is_regular_file(settingsFile, error) ||
        !fs::copy_file(settingsFile, folder / "Ostrelle.ini", error)) {
        fs::remove_all(folder, error);
        if (!gameGiven) fs::remove_all(game, error);
        throw std::runtime_error(settingsFile.string() + ": cannot read the settings file");
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(soundFolder, error)) {
        const fs::path name = entry.path().filename();
        if (platform::sameWindowsName(name.string(), "Ostrelle.ini")) continue;
        fs::create_symlink(fs::absolute(entry.path()), folder / name, error);
    }
    platform::setCurrentFolder(game.string());
}

PluginFolder::~PluginFolder() {
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
