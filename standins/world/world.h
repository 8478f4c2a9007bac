// The simulated game, one frame at a time: what it answers to the plug-in's calls in each frame
// of a replay, with every call recorded in the trace. Each nonzero vehicle id is one record, a raw
// block of bytes laid out as the game's, that keeps its address from its first frame to the end;
// a frame writes its row's status, health, impact and position into the current record.
//
// On Linux the simulator points hostApi and the tick source at a World; a Windows host points its
// stubs at the game's fixed addresses at one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "controller/effect_constants.h"
#include "host/host_api.h"
#include "standins/world/replay.h"
#include "standins/world/trace.h"

class World {
  public:
    static constexpr std::size_t recordSize = 0x400;

    explicit World(Trace& trace);

    // From now on the game answers as the row says, and the trace marks calls with its frame.
    void enterFrame(const ReplayFrame& row);
    // From now on calls are outside any frame (the unload); the game answers as in the last frame.
    void leaveFrames();

    HostAddress queryActor();
    HostAddress queryVehicle();  // the current record's address, or 0
    float findRoofZ(float x, float y, float z, std::uint8_t* found);
    void setRadioVolume(std::uint32_t volume);  // only the low byte counts
    std::uint32_t getTickCount();
    // Whether calls go into the trace (they do unless told otherwise).
    void setTraced(bool traced) { trace.setMuted(!traced); }
    const volatile std::uint8_t* suspendFlag() const { return &suspend; }

    // The game's radio volume: 127 until the plug-in sets it; and whether it was set in the
    // current frame (or since leaveFrames).
    std::uint8_t radioVolume() const { return volume; }
    bool radioVolumeSet() const { return volumeSet; }

  private:
    struct alignas(16) Record {
        std::array<std::byte, recordSize> bytes{};
    };

    Trace& trace;
    ReplayFrame current;
    Record* currentRecord = nullptr;
    std::map<std::uint32_t, std::unique_ptr<Record>> records;  // by vehicle id
    volatile std::uint8_t suspend = 0;
    std::uint8_t volume = fullRadioVolume;
    bool volumeSet = false;
};
