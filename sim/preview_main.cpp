// ostrelle-preview: what a settings file does to the plug-in's sounds, without the game. It reads
// the settings as the plug-in reads them, finds and opens the sounds as the plug-in does, plays a
// crash sound and then the tunnel static at the configured volumes through the Linux audio library,
// and writes what comes out to a WAV file.
#include <sndfile.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "config/settings.h"
#include "sound/sound_player.h"
#include "standins/audio/bass_linux.h"
#include "standins/audio/sound_stream.h"

namespace {

// Renders seconds of the mix into the file and answers the loudest sample of that stretch.
float renderSeconds(SNDFILE* file, double seconds) {
    std::vector<float> block(2 * 1024);
    float peak = 0.0f;
    auto frames = static_cast<long>(seconds * audio::outputRate);
    for (long done = 0; done < frames; done += 1024) {
        long count = std::min<long>(1024, frames - done);
        audio::renderOutput(block.data(), static_cast<std::size_t>(count));
        for (long i = 0; i < 2 * count; ++i) peak = std::max(peak, std::fabs(block[i]));
        sf_writef_float(file, block.data(), count);
    }
    return peak;
}

void printSettings(const std::string& path, const EffectSettings& s) {
    std::printf("Settings read from %s:\n", path.c_str());
    std::printf("  Volume Damage             %.2f\n", s.volumeDamage);
    std::printf("  Impact intensity          %.2f\n", s.impactIntensity);
    std::printf("  Minimum time impact SFX   %u ms\n", s.minImpactMs);
    std::printf("  Maximum time impact SFX   %u ms\n", s.maxImpactMs);
    std::printf("  Radio Duck Volume         %u of 127\n", s.radioDuckVolume);
    std::printf("  Enable Tunnel Static      %s\n", s.tunnelStaticEnabled ? "yes" : "no");
    std::printf("  Volume Noise              %.2f\n", s.volumeNoise);
    std::printf("  Tunnel Radio Duck Volume  %u of 127\n", s.tunnelDuckVolume);
}

void printSounds(const std::string& folder) {
    std::printf("Sounds found from %s:\n", folder.c_str());
    for (const char* name : {"broke.mp3", "broke2.mp3", "noise.mp3"}) {
        PathText path;
        findSoundFile(folder, name, path);
        std::printf("  %-10s  %s\n", name, path.empty() ? "(not found)" : path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Plays the plug-in's crash sound and tunnel static at the volumes a settings file "
        "sets, into a WAV file."};
    std::string settingsPath = "Ostrelle.ini";
    std::string soundFolder = ".";
    std::string outputPath = "ostrelle-preview.wav";
    app.add_option("-s,--settings", settingsPath, "the settings file")->check(CLI::ExistingFile);
    app.add_option("-d,--sounds", soundFolder,
                   "the folder the plug-in would sit in (its sounds in \"Radio SFX\" there)");
    app.add_option("-o,--output", outputPath, "the WAV file to write");
    CLI11_PARSE(app, argc, argv);

    readSettings(settingsPath.c_str(), effectSettings);
    printSettings(settingsPath, effectSettings);
    printSounds(soundFolder);

    SF_INFO format = {};
    format.samplerate = audio::outputRate;
    format.channels = 2;
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(outputPath.c_str(), SFM_WRITE, &format);
    if (file == nullptr) {
        std::fprintf(stderr, "ostrelle-preview: cannot write %s: %s\n", outputPath.c_str(),
                     sf_strerror(nullptr));
        return 1;
    }

    openSounds(soundFolder);
    playImpactSound(effectSettings.volumeDamage);
    float crashPeak = renderSeconds(file, 2.5);
    stopImpactSounds();
    playNoise(effectSettings.volumeNoise);
    float staticPeak = renderSeconds(file, 4.0);
    stopNoise();
    closeSounds();
    sf_close(file);

    std::printf("Wrote %s: 2.5 s of a crash (peak %.2f), then 4 s of tunnel static (peak %.2f).\n",
                outputPath.c_str(), crashPeak, staticPeak);
    return 0;
}
