// The folder the plug-in sits in during a run: a fresh temporary folder holding the settings file
// as "Ostrelle.ini" and, linked in, everything else of the folder the sounds are taken from, so
// that the plug-in's own search finds the sounds exactly as it would in that folder. Removed with
// everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

class PluginFolder {
  public:
    // Copies settingsFile in (throws std::runtime_error naming it when it cannot be read) and
    // links each entry of soundFolder in but its own "Ostrelle.ini" (throws when soundFolder is
    // no folder).
    PluginFolder(const std::filesystem::path& settingsFile,
                 const std::filesystem::path& soundFolder);
    ~PluginFolder();
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    std::string path() const { return folder.string(); }

    // Where the plug-in's search finds fileName, in the sound folder's own terms ("" when it
    // finds it nowhere).
    std::string soundSource(const std::string& fileName) const;

  private:
    std::filesystem::path folder, soundFolder;
};
