// The offline output device: the open streams under their handles, and the mix of the playing
// ones that the caller pulls block by block.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "sound/bass_api.h"
#include "standins/audio/sound_stream.h"

namespace audio {

class Mixer {
  public:
    Mixer();

    // Takes the stream, silent until played, and answers its handle: nonzero, counting up from
    // 1, and never one that is open.
    HSTREAM add(std::unique_ptr<SoundStream> stream);

    // Each answers false, and does nothing, for a handle that is not open.
    bool remove(HSTREAM handle);
    // restart: from the first sample; otherwise a playing stream carries on undisturbed and a
    // stopped one resumes where it stopped. A sound that reached its end stays at its end.
    bool play(HSTREAM handle, bool restart);
    bool stop(HSTREAM handle);
    // Any finite volume from 0 up, 1.0 being the file's own level; anything else answers false.
    bool setVolume(HSTREAM handle, float volume);

    // Writes the next frameCount frames (interleaved L/R at outputRate): the sum of every playing
    // stream times its volume, held within the float range. Allocates nothing.
    void render(float* frames, std::size_t frameCount);

  private:
    struct Channel {
        HSTREAM handle;
        std::unique_ptr<SoundStream> stream;
        float volume = 1.0f;
        bool playing = false;
    };

    Channel* find(HSTREAM handle);
    void mixChannel(Channel& channel, float* frames, std::size_t frameCount);

    std::vector<Channel> channels;
    std::vector<float> scratch;  // one stream's block before it is added in
    HSTREAM lastHandle = 0;
};

}  // namespace audio
