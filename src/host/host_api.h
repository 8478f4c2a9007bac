// The game's functions and flag that the plug-in uses, in one table, with wrappers that call them.
// On Windows the table holds the game's fixed addresses; on Linux the simulator or a test fills it.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define HOST_CDECL __cdecl
#define HOST_THISCALL __thiscall
#else
#define HOST_CDECL
#define HOST_THISCALL
#endif

// An address in the game's memory: a code or data pointer held as a number (32 bits in the game).
using HostAddress = std::uintptr_t;

struct HostApi {
    HostAddress(HOST_CDECL* queryActor)();    // nonzero while there is a player actor
    HostAddress(HOST_CDECL* queryVehicle)();  // the current VehicleRecord, or 0
    // The height of the roof above (x, y, z); sets *found nonzero when there is one, and leaves it
    // alone otherwise. The result comes back on the x87 stack in the game.
    float(HOST_CDECL* findRoofZ)(float x, float y, float z, std::uint8_t* found);
    // The game's radio volume setter, a member of its audio object: the volume in the low byte of
    // one stack slot, 127 = full.
    void(HOST_THISCALL* setRadioVolume)(void* audioObject, std::uint32_t volume);
    void* audioObject;
    const volatile std::uint8_t* suspendFlag;  // nonzero while the game is paused or in a menu
};

extern HostApi hostApi;

std::uint8_t readSuspendFlag();
HostAddress queryActor();
HostAddress queryVehicle();
float findRoofZ(float x, float y, float z, std::uint8_t* found);
void setRadioVolume(std::uint8_t volume);
