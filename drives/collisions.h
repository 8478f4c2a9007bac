// What a drive's collisions and roofs were, against the settings it ran with: each collision (a
// new impact force) with its force, and each roof (as it comes, or as its height changes) with its
// gap above the vehicle, each with what the plug-in made of it, so that a modder sets "Impact
// intensity" from their own crashes. The same verdicts as the timeline's.
#pragma once

#include <cstdint>
#include <vector>

#include "config/settings.h"
#include "drives/simulation.h"

enum class Verdict {
    counted,         // a duck began, or tunnel static ran
    belowThreshold,  // an impact force not above "Impact intensity"
    alreadyDucked,   // the radio was ducked already
    paused,          // the game was paused or in a menu
    outOfVehicle,    // no vehicle, or no player
    ignoredStatus,   // a vehicle of status 10 or more
    roofTooLow,      // a roof 1.2 or less above the vehicle
    roofTooHigh,     // a roof 25 or more above it
    tunnelStaticOff  // "Enable Tunnel Static" is 0
};

struct DriveEvent {
    std::uint32_t frame = 0;
    double time = 0.0;   // seconds from the first frame
    float value = 0.0f;  // the impact force, or the roof's gap above the vehicle
    Verdict verdict = Verdict::counted;
};

struct DriveCollisions {
    std::vector<DriveEvent> collisions;
    std::vector<DriveEvent> roofs;
};

// settings are those the run of records had.
DriveCollisions collisionsOf(const std::vector<FrameRecord>& records,
                             const EffectSettings& settings);

// The verdict for people: "counted", "below the threshold", ...
const char* verdictName(Verdict verdict);
