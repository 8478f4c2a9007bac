// What a drive's crashes and roofs were, and what the plug-in made of each, read from the
// controller's own record of every frame's decision (FrameDecision): the one explanation that the
// timeline, the collisions and roofs list and the plot's marks all show, so that a modder sets
// "Impact intensity" from their own crashes. Which game events are listed is this file's choice;
// what the plug-in decided about them is never worked out here again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drives/simulation.h"

enum class Verdict {
    counted,            // a duck began, or tunnel static ran
    belowThreshold,     // an impact force not above "Impact intensity", a fall of 20 or less
    fromNoHealth,       // a fall from a health of 0 or less
    firstVehicleFrame,  // a fall of health in the first frame the plug-in sees a vehicle
    alreadyDucked,      // the radio was ducked already
    paused,             // the game was paused or in a menu
    outOfVehicle,       // no vehicle, or no player
    ignoredStatus,      // a vehicle of status 10 or more
    notStarted,         // the plug-in had not started
    roofTooLow,         // a roof 1.2 or less above the vehicle
    roofTooHigh,        // a roof 25 or more above it
    noRoofFound,        // the plug-in's own probe found none
    tunnelStaticOff     // "Enable Tunnel Static" is 0
};

// One crash of a frame: a new impact force (value: the force) or a fall of health (value: the
// fall, to health), with what the plug-in made of it.
struct Crash {
    float value = 0.0f;
    float health = 0.0f;
    Verdict verdict = Verdict::counted;
};

// A frame's crashes: a force the game reports anew or one the plug-in counted; a fall of health
// in the same vehicle or one the plug-in counted (measured as the plug-in measured it, from the
// health it last read, when it tested one).
struct FrameCrashes {
    std::optional<Crash> force;
    std::optional<Crash> fall;

    // Whether a crash of the frame began no duck (a fall too small to be a crash aside).
    bool ignored() const;
};

// previous: the frame before, or beforeFirst for the first one.
FrameCrashes crashesOf(const FrameRecord& record, const FrameRecord& previous);

// The crash the plot marks at a frame, in gnuplot and on the page alike: one that began a duck,
// or one of the game's that the plug-in ignored.
enum class CrashMark { none, counted, ignored };
CrashMark crashMarkOf(const FrameRecord& record, const FrameRecord& previous);

// The frame before the first of records: the game as the first frame finds it, the plug-in as
// loaded.
FrameRecord beforeFirst(const std::vector<FrameRecord>& records);

// What the plug-in made of a roof in a frame: its probe's answer.
Verdict roofVerdict(const FrameDecision& decision);

// What a collision was: an impact force, or a fall of health the plug-in tested.
enum class Cause { impactForce, healthFall };

struct DriveEvent {
    std::uint32_t frame = 0;
    double time = 0.0;  // seconds from the first frame
    // The impact force, the fall of health, or the roof's gap above the vehicle.
    float value = 0.0f;
    Verdict verdict = Verdict::counted;
    Cause cause = Cause::impactForce;  // of a collision
};

struct DriveCollisions {
    std::vector<DriveEvent> collisions;
    std::vector<DriveEvent> roofs;
};

// Each collision and each roof (as it comes, or as its height changes). A collision is a force of
// crashesOf, or a fall of it that is a crash (counted, or ignored for more than being too small)
// unless the frame's force was counted: one counted collision for each duck.
DriveCollisions collisionsOf(const std::vector<FrameRecord>& records);

// The verdict for people: "counted", "below the threshold", ...
std::string verdictName(Verdict verdict);
