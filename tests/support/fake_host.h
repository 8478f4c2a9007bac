// A game for the controller to run against: vehicle records as raw byte blocks written at the
// game's offsets, a roof, a suspend flag and a clock, with every host call logged in the call log
// ("queryActor()", "findRoofZ(1,2,4)", "setRadioVolume(20)").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/host_api.h"
#include "host/vehicle_record.h"

// A vehicle record as the game lays it out; fields are written at their byte offsets.
struct FakeVehicle {
    alignas(16) std::array<std::byte, 0x400> bytes{};

    FakeVehicle(float health = 1000.0f, std::uint8_t status = 0) {
        setHealth(health);
        setStatus(status);
    }
    void setPosition(float x, float y, float z) {
        put(VehicleRecord::positionOffset, x);
        put(VehicleRecord::positionOffset + 4, y);
        put(VehicleRecord::positionOffset + 8, z);
    }
    void setImpactForce(float force) { put(VehicleRecord::impactForceOffset, force); }
    void setHealth(float health) { put(VehicleRecord::healthOffset, health); }
    void setStatus(std::uint8_t status) { put(VehicleRecord::statusOffset, status); }
    HostAddress address() const { return reinterpret_cast<HostAddress>(bytes.data()); }

  private:
    template <typename T>
    void put(std::size_t offset, T value) {
        std::memcpy(bytes.data() + offset, &value, sizeof value);
    }
};

// What the fake game answers; tests change it between frames.
struct FakeWorld {
    std::uint8_t suspendFlag = 0;
    HostAddress actor = 1;
    HostAddress vehicle = 0;
    bool roofFound = false;
    float roofHeight = 0.0f;
    std::uint32_t tick = 100000;
    // Fault injection: the next call of that host function reads unmapped memory.
    bool faultInQueryVehicle = false;
    bool faultInFindRoofZ = false;
    bool faultInSetRadioVolume = false;
};

// The calls that show which path a frame took, counted whether or not the log is on.
struct FakeHostCalls {
    std::uint64_t roofProbes = 0;   // findRoofZ
    std::uint64_t radioPushes = 0;  // setRadioVolume
};

namespace fakeHost {

// Points hostApi and the tick source at the fake game, with a fresh world and no calls counted.
void install();

FakeWorld& world();
const FakeHostCalls& calls();

// An address whose page can be neither read nor written, for records that have gone stale.
HostAddress unreadableAddress();

}  // namespace fakeHost
