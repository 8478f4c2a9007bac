// The speed of rendering a drive to WAV: a ten-minute drive (a crash every 25 seconds, a roof every
// 40) simulated frame by frame and rendered by ostrelle-sim's own path, then the same sounds mixed
// by sox from the same events with the same gains. Prints the CPU time of each, the render's
// real-time factor (minutes of drive per minute of CPU) and the ratio between the two.
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/settings.h"
#include "drives/scenario.h"
#include "drives/simulation.h"
#include "sim/output_file.h"
#include "sim/plugin_folder.h"
#include "sim/wav_render.h"
#include "sound/sound_player.h"
#include "standins/audio/sound_stream.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string assets = OSTRELLE_ASSETS;
constexpr double driveSeconds = 600.0;
constexpr double shortestBedStretch = 0.5;  // ramps are folded into the stretches around them

// CPU seconds of this process, or of its finished children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string tenMinuteDrive() {
    std::ostringstream toml;
    toml << "title = \"Ten minutes\"\nlength = " << driveSeconds << "\n";
    for (int at = 10; at < driveSeconds; at += 25)
        toml << "[[crash]]\nat = " << at << "\nforce = 500\n";
    for (int at = 20; at + 12 < driveSeconds; at += 40) {
        toml << "[[roof]]\nfrom = " << at << "\nto = " << at + 12 << "\n";
    }
    return toml.str();
}

// The sound at path decoded as the simulator plays it, seconds long (looped when loop), as WAV.
void decode(const std::string& path, bool loop, double seconds, const fs::path& wav) {
    std::unique_ptr<audio::SoundStream> stream = audio::SoundStream::open(path, loop);
    SF_INFO format{};
    format.samplerate = audio::outputRate;
    format.channels = audio::outputChannels;
    format.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(wav.c_str(), SFM_WRITE, &format);
    std::vector<float> block(4096 * audio::outputChannels);
    auto left = static_cast<std::size_t>(seconds * audio::outputRate);
    while (left > 0) {
        std::size_t got = stream->read(block.data(), std::min<std::size_t>(4096, left));
        if (got == 0) break;
        sf_writef_float(file, block.data(), static_cast<sf_count_t>(got));
        left -= got;
    }
    sf_close(file);
}

// One track of the sox mix, built by concatenation: stretches of decoded sounds at their gains,
// with silence between them.
class Track {
  public:
    void add(const fs::path& wav, double gain, double soundFrom, double from, double length) {
        if (from > end) piece("-n -r 44100 -c 2", 0.0, from - end);
        std::ostringstream source;
        source << "-v " << gain << " '" << wav.string() << "'";
        piece(source.str(), soundFrom, length);
        end = from + length;
    }

    // The sox command that writes the track to path.
    std::string command(const fs::path& path) const {
        return "sox" + inputs + " '" + path.string() + "'";
    }

  private:
    void piece(const std::string& source, double from, double length) {
        std::ostringstream text;
        text << " \"|sox " << source << " -p trim " << from << ' ' << length << "\"";
        inputs += text.str();
    }

    std::string inputs;
    double end = 0.0;
};

// Whether fileName is the plug-in's looped static, not an impact sound.
bool isStaticLoop(const std::string& fileName) {
    return std::any_of(std::begin(pluginSounds), std::end(pluginSounds), [&](const PluginSound& s) {
        return s.role == SoundRole::staticLoop && fileName == s.fileName;
    });
}

// The sox commands that mix the run's events: every sound from its start to its stop at its
// volume, the radio bed at the radio's gain in stretches of one volume; a track each for the
// impact sounds, the static and the bed, then the mix of the three.
std::vector<std::string> soxCommands(const std::vector<FrameRecord>& records,
                                     const fs::path& folder, const fs::path& output) {
    Track impacts, noise, bed;
    std::map<std::string, double> started;  // by sound: when it started
    double bedFrom = 0.0;
    std::uint8_t bedVolume = 127;
    for (const FrameRecord& record : records) {
        for (auto sound = started.begin(); sound != started.end();) {
            if (std::find(record.playing.begin(), record.playing.end(), sound->first) !=
                record.playing.end()) {
                ++sound;
                continue;
            }
            fs::path wav = folder / (sound->first + ".wav");
            double length = record.time - sound->second;
            if (isStaticLoop(sound->first)) {
                noise.add(wav, effectSettings.volumeNoise, sound->second, sound->second, length);
            } else {
                impacts.add(wav, effectSettings.volumeDamage, 0.0, sound->second, length);
            }
            sound = started.erase(sound);
        }
        for (const std::string& sound : record.playing) started.try_emplace(sound, record.time);
        if (record.radioVolume != bedVolume && record.time - bedFrom >= shortestBedStretch) {
            bed.add(folder / "bed.wav", WavRender::radioGain(bedVolume), bedFrom, bedFrom,
                    record.time - bedFrom);
            bedFrom = record.time;
            bedVolume = record.radioVolume;
        }
    }
    bed.add(folder / "bed.wav", WavRender::radioGain(bedVolume), bedFrom, bedFrom,
            driveSeconds - bedFrom);
    const fs::path tracks[] = {folder / "impacts.wav", folder / "noise.wav",
                               folder / "bed-track.wav"};
    return {impacts.command(tracks[0]), noise.command(tracks[1]), bed.command(tracks[2]),
            "sox -m -v 1 '" + tracks[0].string() + "' -v 1 '" + tracks[1].string() + "' -v 1 '" +
                tracks[2].string() + "' -b 16 '" + output.string() + "'"};
}

// The length of the WAV file at path in seconds, 0 when it cannot be read.
double seconds(const fs::path& path) {
    SF_INFO format{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
    if (file == nullptr) return 0.0;
    sf_close(file);
    return double(format.frames) / format.samplerate;
}

}  // namespace

int main() {
    Scenario drive = parseScenario(tenMinuteDrive(), "ten-minutes.toml");
    const TempFolder temp;
    const fs::path& folder = temp.path();
    PluginFolder plugin(assets + "/Ostrelle.ini", assets + '/' + soundFolderName);

    double start = cpuSeconds(RUSAGE_SELF);
    std::vector<FrameRecord> records;
    {
        OutputFile output(folder / "ostrelle.wav", OutputFile::Access::seeking);
        WavRender wav(output.descriptor(), output.target().string(), assets + "/radio-bed.mp3",
                      driveSeconds);
        records = simulate(drive.frames, plugin.path(), nullptr,
                           [&](const FrameRecord& r) { wav.frame(r); });
        wav.finish();
        OutputFile::commitAll({&output});
    }
    double ours = cpuSeconds(RUSAGE_SELF) - start;

    for (const PluginSound& sound : pluginSounds) {
        decode(assets + '/' + soundFolderName + '/' + sound.fileName,
               sound.role == SoundRole::staticLoop, driveSeconds,
               folder / (std::string(sound.fileName) + ".wav"));
    }
    decode(assets + "/radio-bed.mp3", true, driveSeconds, folder / "bed.wav");
    std::vector<std::string> commands = soxCommands(records, folder, folder / "sox.wav");
    double soxStart = cpuSeconds(RUSAGE_CHILDREN);
    int status = 0;
    std::size_t inputs = 0;
    for (const std::string& command : commands) {
        status = status != 0 ? status : std::system((command + " 2>/dev/null").c_str());
        inputs += static_cast<std::size_t>(std::count(command.begin(), command.end(), '|'));
    }
    double sox = cpuSeconds(RUSAGE_CHILDREN) - soxStart;

    std::printf("Rendering a %.0f-minute drive to WAV (%zu frames):\n", driveSeconds / 60,
                records.size());
    std::printf(
        "  ostrelle-sim  %.3f s CPU  real-time factor %.0fx (%.3f s of CPU per minute of drive)\n",
        ours, driveSeconds / ours, ours / (driveSeconds / 60));
    double soxLength = seconds(folder / "sox.wav");
    if (status != 0 || std::abs(soxLength - seconds(folder / "ostrelle.wav")) > 1.0) {
        std::printf("  sox failed (status %d, %.1f s written)\n", status, soxLength);
        return 1;
    }
    std::printf(
        "  sox           %.3f s CPU  (the same sounds and gains: %zu stretches in three tracks, "
        "then mixed)\n",
        sox, inputs);
    std::printf("  ostrelle-sim takes %.2f times the CPU of sox\n", ours / sox);
    return 0;
}
