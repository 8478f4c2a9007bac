#include "sound/sound_player.h"

#include <cstddef>

#include "common/next_random.h"
#include "platform/win32_api.h"

SoundBank soundBank;

namespace {

// Where a sound file may lie, in the order tried: in the plug-in's folder first (its sound
// folder, then the folder itself), then relative to the game's current directory, where the usual
// mod-loader layouts put it.
struct Candidate {
    bool inFolder;  // the folder given to findSoundFile comes first
    const char* prefix;
    bool inSoundFolder;  // then soundFolderName
};
constexpr Candidate candidates[] = {
    {true, "\\", true},
    {true, "\\", false},
    {false, "scripts\\modloader\\Ostrelle\\", true},
    {false, "modloader\\Ostrelle\\", true},
    {false, "", true},
    {false, "", false},
};

// Where each sound was found: kept from the searches to the stream creations. Process-wide, as
// the plug-in's other paths are, so that a start-up allocates nothing.
PathText foundPaths[soundCount];

// A path counts when something is there that is not a folder; the file is not opened here.
bool isUsableFile(const PathText& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Stops every loaded stream of the sounds that play role.
void stopRole(SoundRole role) {
    for (std::size_t i = 0; i < soundCount; ++i) {
        if (pluginSounds[i].role == role && soundBank.streams[i] != 0) {
            BASS_ChannelStop(soundBank.streams[i]);
        }
    }
}

}  // namespace

bool findSoundFile(std::string_view folder, std::string_view fileName, PathText& path) {
    for (const Candidate& candidate : candidates) {
        bool fits =
            path.assign(candidate.inFolder ? folder : std::string_view()) &&
            path.append(candidate.prefix) &&
            (!candidate.inSoundFolder || (path.append(soundFolderName) && path.append("\\"))) &&
            path.append(fileName);
        if (fits && isUsableFile(path)) return true;
    }
    path.clear();
    return false;
}

void openSounds(std::string_view folder) {
    if (soundBank.audioReady) return;
    BASS_Init(-1, 44100, 0, nullptr, nullptr);  // device -1: the default output device
    // Ready from here on, whatever follows: should a search or a stream creation fail midway,
    // the streams already made are freed by closeSounds and the library is not started twice.
    soundBank.audioReady = true;
    // Every search ends before the first stream is created.
    for (std::size_t i = 0; i < soundCount; ++i)
        findSoundFile(folder, pluginSounds[i].fileName, foundPaths[i]);
    for (std::size_t i = 0; i < soundCount; ++i) {
        if (foundPaths[i].empty()) continue;
        const bool loops = pluginSounds[i].role == SoundRole::staticLoop;
        soundBank.streams[i] =
            BASS_StreamCreateFile(0, foundPaths[i].c_str(), 0, 0, loops ? BASS_SAMPLE_LOOP : 0);
    }
}

void playImpactSound(float volume) {
    if (!soundBank.audioReady) return;
    // A fixed array, not a growable one: this runs on a frame and must not allocate.
    HSTREAM loaded[soundCount];
    std::size_t count = 0;
    for (std::size_t i = 0; i < soundCount; ++i) {
        if (pluginSounds[i].role == SoundRole::impact && soundBank.streams[i] != 0) {
            loaded[count++] = soundBank.streams[i];
        }
    }
    if (count == 0) return;
    HSTREAM chosen = loaded[nextRandom() % count];
    stopImpactSounds();
    BASS_ChannelSetAttribute(chosen, BASS_ATTRIB_VOL, volume);
    BASS_ChannelPlay(chosen, 1);  // restart: from the start, also when it still sounds
}

void playNoise(float volume) {
    if (!soundBank.audioReady) return;
    for (std::size_t i = 0; i < soundCount; ++i) {
        const HSTREAM stream = soundBank.streams[i];
        if (pluginSounds[i].role != SoundRole::staticLoop || stream == 0) continue;
        BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, volume);
        BASS_ChannelPlay(stream, 0);  // no restart: a playing loop carries on
    }
}

void stopImpactSounds() {
    if (!soundBank.audioReady) return;
    stopRole(SoundRole::impact);
}

void stopNoise() {
    if (!soundBank.audioReady) return;
    stopRole(SoundRole::staticLoop);
}

void stopAllSounds() {
    stopImpactSounds();
    stopNoise();
}

void closeSounds() {
    if (!soundBank.audioReady) return;
    stopAllSounds();
    for (HSTREAM& stream : soundBank.streams) {
        if (stream == 0) continue;
        BASS_StreamFree(stream);
        stream = 0;
    }
    BASS_Free();
    soundBank.audioReady = false;
}
