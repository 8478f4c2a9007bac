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
#include <functional>
#include <map>
#include <memory>

#include "controller/effect_constants.h"
#include "host/host_api.h"
#include "standins/world/replay.h"
#include "standins/world/trace.h"

// A call of the game's functions, as a listener hears it before the world answers.
struct HostCall {
    enum class Kind { queryActor, queryVehicle, findRoofZ, setRadioVolume };
    Kind kind;
    float x = 0.0f, y = 0.0f, z = 0.0f;  // findRoofZ's place
    std::uint32_t volume = 0;            // setRadioVolume's argument, as passed
};
using HostCallListener = std::function<void(const HostCall&)>;

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
    const volatile std::uint8_t* suspendFlag() const { return &suspend; }

    // The game's radio volume: 127 until the plug-in sets it; and whether it was set in the
    // current frame (or since leaveFrames).
    std::uint8_t radioVolume() const { return volume; }
    bool radioVolumeSet() const { return volumeSet; }

    // For the unit tests: listener hears every host call before it is answered (to log it, or to
    // fault in it), and a stale address, when not 0, is what queryVehicle answers instead of the
    // current record's, as a game whose record went away would.
    void listen(HostCallListener callListener) { listener = std::move(callListener); }
    HostAddress recordAddress() const { return reinterpret_cast<HostAddress>(currentRecord); }
    void answerStaleRecord(HostAddress address) { staleRecord = address; }

  private:
    struct alignas(16) Record {
        std::array<std::byte, recordSize> bytes{};
    };

    Trace& trace;
    ReplayFrame current;
    Record* currentRecord = nullptr;
    std::map<std::uint32_t, std::unique_ptr<Record>> records;  // by vehicle id
    volatile std::uint8_t suspend = 0;
    HostCallListener listener;
    HostAddress staleRecord = 0;
    std::uint8_t volume = fullRadioVolume;
    bool volumeSet = false;
};
