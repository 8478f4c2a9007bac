// The trace of a run: one JSON object per line for every call the plug-in makes into the game and
// into the audio library, in call order:
//   {"frame":12,"tick":100200,"call":"setRadioVolume","volume":20}
// Game calls: queryActor, queryVehicle, findRoofZ (x, y, z), setRadioVolume (volume), GetTickCount.
// Audio calls: BASS_Init (device, freq, flags), BASS_StreamCreateFile (path, sound, flags),
// BASS_ChannelSetAttribute (sound, attrib, value), BASS_ChannelPlay (sound, restart),
// BASS_ChannelStop (sound), BASS_StreamFree (sound), BASS_Free.
//
// Streams are named by their file name ("sound":"noise.mp3"), never by handle, so that two audio
// libraries that hand out different handles give the same trace; a handle the trace has not seen
// created is "sound":null. The plug-in's folder at the start of a path is written "<plugin>".
// Calls outside any frame (the unload) carry "frame":null and the tick of the last frame (0 before
// the first). Each line is written by the JSON library; floats as jsonNumber writes them, the
// shortest text that reads back to the same 32-bit value, the same on every build; a value with
// no number is a string ("nan", "-nan", "inf", "-inf").
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standins/audio/call_observer.h"
#include "text/json_text.h"

class Trace : public audio::CallObserver {
  public:
    // out may be null: then nothing is written, and the trace only keeps track of the streams.
    Trace(std::ostream* out, std::string pluginFolder);

    void enterFrame(std::uint32_t frame, std::uint32_t tick);
    // While muted, calls are answered but not written: those of another plug-in in the game.
    void setMuted(bool muted) { this->muted = muted; }
    void leaveFrames();  // from now on, outside any frame

    void queryActor();
    void queryVehicle();
    void findRoofZ(float x, float y, float z);
    void setRadioVolume(std::uint8_t volume);
    void getTickCount();

    void bassInit(int device, BASS_DWORD freq, BASS_DWORD flags) override;
    void bassStreamCreateFile(const char* path, BASS_DWORD flags, HSTREAM handle) override;
    void bassChannelSetAttribute(BASS_DWORD handle, BASS_DWORD attrib, float value) override;
    void bassChannelPlay(BASS_DWORD handle, BASS_BOOL restart) override;
    void bassChannelStop(BASS_DWORD handle) override;
    void bassStreamFree(HSTREAM handle) override;
    void bassFree() override;

    // The file names of the sounds the plug-in has started and not stopped or freed since, in
    // handle order. (A sound that reached its end by itself still counts as playing.)
    std::vector<std::string> playingSounds() const;

    // The file names of the sounds started in the current frame, in call order, whether or not
    // the frame stopped them again.
    const std::vector<std::string>& soundsStartedInFrame() const { return startedInFrame; }

  private:
    struct Stream {
        std::string sound;
        bool playing = false;
    };

    // Writes the line of call, unless nothing is written (no stream, or muted). fields, a function
    // answering the call's own members as a JSON object, is called only then: JSON allocates, and
    // the plug-in's frame, traced or not, must allocate nothing.
    template <typename Fields>
    void write(std::string_view call, const Fields& fields);
    void write(std::string_view call);
    Json soundJson(BASS_DWORD handle) const;
    void setPlaying(BASS_DWORD handle, bool playing);

    std::ostream* out;
    bool muted = false;
    std::string pluginFolder;
    std::optional<std::uint32_t> frame;
    std::uint32_t tick = 0;
    std::map<HSTREAM, Stream> streams;  // the open streams by handle
    std::vector<std::string> startedInFrame;
};
