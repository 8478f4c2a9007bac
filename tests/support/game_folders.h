// Game folders as players have them, for the game check's tests: a good one and the broken
// variants players meet, each as the files in it (a path in the folder with '/', and its bytes).
// The unit tests check each one's lines; make-test-pe writes them out for the tuner page's tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using GameFiles = std::map<std::string, std::string>;

// bass.dll exporting its seven entry points only by their decorated stdcall names.
std::string decoratedAudioLibrary();

// The folder called name ("AllInPlace" is the good one), or nullopt for no such folder.
std::optional<GameFiles> gameFolder(std::string_view name);

// The names of every folder, the good one first.
std::vector<std::string> gameFolderNames();
