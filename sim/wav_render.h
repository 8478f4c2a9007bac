// What a player would hear during a run, written to a WAV file in simulated time: the radio bed
// (a looping MP3) at the game's radio volume, plus the plug-in's own sounds as the Linux audio
// library mixes them. The radio volume maps to gain linearly: volume / 127, so 127 is the bed's own
// level, 64 about half (-6 dB), 20 about a sixth (-16 dB) and 0 silence.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drives/simulation.h"
#include "standins/audio/sound_stream.h"

class WavRender {
  public:
    // A WAV, or an RF64 file when seconds of sound do not fit a WAV, written to fd, a file open
    // for writing that wavName names in errors. Throws std::runtime_error naming it when it
    // cannot be written or the bed not read.
    WavRender(int fd, const std::string& wavName, const std::string& radioBedPath, double seconds);
    ~WavRender();
    WavRender(const WavRender&) = delete;
    WavRender& operator=(const WavRender&) = delete;

    // Renders the frame's stretch of time: the bed's gain glides from the previous frame's
    // volume to this one's across it, so that a ramp sounds smooth.
    void frame(const FrameRecord& record);

    // Ends the file (fd stays open); throws std::runtime_error naming it and the system's reason
    // when any of it could not be written.
    void finish();

    static float radioGain(std::uint8_t volume);

    // Whether seconds of the render fit a WAV file, whose sizes are 32-bit.
    static bool fitsWav(double seconds);

  private:
    void render(std::size_t count, float fromGain, float toGain);

    std::string path;
    SNDFILE* file = nullptr;
    int writeError = 0;  // errno of the first write that failed
    std::unique_ptr<audio::SoundStream> bed;
    std::vector<float> mix, bedBlock;
    std::uint64_t written = 0;  // frames written so far
    float gain = 1.0f;          // the bed's gain at the end of what is written
};
