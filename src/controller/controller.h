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

// Where a frame's work ended, in the order the controller looks.
enum class FrameGate : std::uint8_t {
    notStarted,        // start-up has not succeeded: nothing was looked at
    paused,            // the game's suspend flag was set
    nothingToWatch,    // no player, or no vehicle
    ineligibleStatus,  // a vehicle of status 10 or more
    watched,           // the impact test ran (and the roof probe, unless a duck held the frame)
};

// What the roof probe answered, or why it was not asked.
enum class RoofAnswer : std::uint8_t {
    notAsked,     // the frame ended before it: a gate, or a running duck
    switchedOff,  // "Enable Tunnel Static" is 0
    noRoof,       // the game found none, or faulted while asked
    tooLow,       // a gap of 1.2 or less: the vehicle's own roof
    tooHigh,      // a gap of 25 or more: open sky under a high structure
    underRoof,    // a gap inside the window: tunnel static
};

// What one frame decided and why. The plug-in never reads it: it is there so that the tools
// explain a drive from the controller's own decisions instead of working them out again. The
// impact fields hold only when gate is watched; roofGap only when the probe found a roof.
struct FrameDecision {
    FrameGate gate = FrameGate::notStarted;
    EffectState stateBefore = EffectState::Idle;  // as the frame found it
    EffectState stateAfter = EffectState::Idle;   // as the frame left it
    RoofAnswer roof = RoofAnswer::notAsked;
    bool newVehicle = false;   // another record than the frame before's: no fall of health counts
    bool forceAbove = false;   // impactForce > "Impact intensity"
    bool fallAbove = false;    // previousHealth above 0 and previousHealth - health above 20
    bool duckRunning = false;  // a duck was running as the test ran: an impact is ignored
    bool duckStarted = false;  // an impact began a duck of duckMs
    bool duckEnded = false;    // a duck ended in this frame (also one begun in it)
    float impactForce = 0.0f;  // the record's impact force
    float previousHealth = 0.0f;  // the health the fall is measured from
    float health = 0.0f;          // the record's health
    float roofGap = 0.0f;         // the roof's height above the vehicle
    std::uint32_t duckMs = 0;     // the length drawn for the duck begun in this frame
};

// The last frame's decision, written by every onFrame.
extern FrameDecision frameDecision;

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
