// The folder the plug-in sits in during a run: a fresh temporary folder holding the settings file
// as "Ostrelle.ini" and the sounds as "Radio SFX", so that the plug-in finds both exactly as it
// would beside the game. Removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

class PluginFolder {
  public:
    // Copies settingsFile in (throws std::runtime_error naming it when it cannot be read) and
    // links soundFolder in as "Radio SFX".
    PluginFolder(const std::filesystem::path& settingsFile,
                 const std::filesystem::path& soundFolder);
    ~PluginFolder();
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    std::string path() const { return folder.string(); }

  private:
    std::filesystem::path folder;
};
