// The effect controller: once a frame it watches the game's current vehicle, plays the crash
// effect (an impact sound and a ducked radio that climbs back) and tunnel static (a noise loop and
// a radio ramp-down under a roof), and pushes the radio volume into the game.
#pragma once

#include <cstdint>

#include "common/path_text.h"
#include "host/host_api.h"

enum class EffectState : std::uint32_t { Idle = 0, ImpactDuck = 1, TunnelStatic = 2 };

struct ControllerState {
    bool started = false;  // startUp has done its work
    EffectState state = EffectState::Idle;
    std::uint32_t impactDeadline = 0;  // tick count at which the duck ends (modulo 2^32)
    // The duck lasts while now - duckStart < impactDuration, so a duck that spans the tick
    // counter's wrap still lasts its full time.
    std::uint32_t duckStart = 0;
    std::uint32_t impactDuration = 0;
    float radioLevel = 127.0f;    // host radio scale; the volume last set, and where ramps start
    HostAddress lastVehicle = 0;  // the record seen in the previous frame, compared by address
    float lastHealth = 1000.0f;   // its health in that frame
};

extern ControllerState controllerState;

// Where startUp found the settings file: beside the plug-in, or the bare name.
extern PathText settingsPath;

// One frame's update; called by the frame hook before the game's own frame routine. Nothing that
// goes wrong inside, a fault in the game's memory or an exception, escapes it.
void onFrame() noexcept;

// Reads the settings and opens the sounds, once: does nothing while started is set.
void startUp();

// Stops every sound and puts the radio back to full; the effect state becomes Idle.
void resetEffects();

// As resetEffects, then closes the audio library and clears started, so that a later frame
// starts up again. Safe whatever the state, also before any startUp.
void shutDown() noexcept;

// Whether the vehicle at record stands under a roof between 1.2 and 25 units above it. No record,
// no roof found, or a fault while asking answers false.
bool probeTunnel(HostAddress record) noexcept;
