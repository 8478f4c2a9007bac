// The sound player: finds the sound files, opens them through the audio library once, and
// plays and stops them for the effect controller. It reports no error: a sound that is not found or
// cannot be opened keeps handle 0, and every operation passes it over.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "common/path_text.h"
#include "sound/bass_api.h"

// What the plug-in does with a sound: plays one impact sound, chosen at random, on a crash; loops
// the static under a roof.
enum class SoundRole { impact, staticLoop };

struct PluginSound {
    const char* fileName;
    SoundRole role;
};

// The sounds' own folder, beside the plug-in and in the mod loaders' layouts.
inline constexpr const char* soundFolderName = "Radio SFX";

// The plug-in's sounds, in the order in which they are searched for, opened, stopped and freed.
inline constexpr PluginSound pluginSounds[] = {
    {"broke.mp3", SoundRole::impact},
    {"broke2.mp3", SoundRole::impact},
    {"noise.mp3", SoundRole::staticLoop},
};
inline constexpr std::size_t soundCount = std::size(pluginSounds);

// The streams, one per sound at its place in pluginSounds; 0 means not loaded. While audioReady is
// false all are 0.
struct SoundBank {
    HSTREAM streams[soundCount] = {};
    bool audioReady =
        false;  // the library was started (even if nothing opened); closeSounds clears it
};

extern SoundBank soundBank;

// Puts in path the first of six candidate places that holds fileName and is not a folder, and
// answers true; false, with path empty, when none does. folder and fileName are joined exactly as
// given, with backslashes; a candidate too long for a path is passed over.
bool findSoundFile(std::string_view folder, std::string_view fileName, PathText& path);

// Starts the audio library and opens every sound found; does nothing while audioReady is set.
void openSounds(std::string_view folder);

// Plays one loaded impact sound, chosen at random, from its start; both are stopped first so that
// at most one sounds. Draws a random number only when at least one impact sound is loaded.
void playImpactSound(float volume);

// Sets the noise loop's volume and keeps it playing; a loop already playing is not restarted.
void playNoise(float volume);

void stopImpactSounds();
void stopNoise();
void stopAllSounds();

// Stops and frees every stream and closes the audio library; does nothing unless audioReady.
void closeSounds();
