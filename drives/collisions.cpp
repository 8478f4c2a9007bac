#include "drives/collisions.h"

#include "controller/effect_constants.h"
#include "text/float_text.h"

namespace {

// What kept the frame from testing anything, or counted when the tests ran.
Verdict gateVerdict(FrameGate gate) {
    switch (gate) {
        case FrameGate::notStarted:
            return Verdict::notStarted;
        case FrameGate::paused:
            return Verdict::paused;
        case FrameGate::nothingToWatch:
            return Verdict::outOfVehicle;
        case FrameGate::ineligibleStatus:
            return Verdict::ignoredStatus;
        case FrameGate::watched:
            break;
    }
    return Verdict::counted;
}

// What the plug-in made of an impact that passed its own test or not (passed).
Verdict impactVerdict(const FrameDecision& decision, bool passed) {
    if (!passed) return Verdict::belowThreshold;
    return decision.duckStarted ? Verdict::counted : Verdict::alreadyDucked;
}

Verdict fallVerdict(const FrameDecision& decision) {
    if (decision.newVehicle) return Verdict::firstVehicleFrame;
    if (!decision.fallAbove && !(decision.previousHealth > 0.0f)) return Verdict::fromNoHealth;
    return impactVerdict(decision, decision.fallAbove);
}

// Whether a fall of health is a crash: one the plug-in counted or ignored for more than its size.
bool fallIsCrash(const Crash& fall) {
    return fall.verdict != Verdict::belowThreshold && fall.verdict != Verdict::fromNoHealth;
}

// Whether the frame's fall of health is a collision of its own: a crash, not one the same frame's
// counted impact force already is.
bool isCrashOfHealth(const FrameCrashes& crashes) {
    const bool forceCounted = crashes.force && crashes.force->verdict == Verdict::counted;
    return crashes.fall && fallIsCrash(*crashes.fall) && !forceCounted;
}

}  // namespace

bool FrameCrashes::ignored() const {
    const bool forceIgnored = force && force->verdict != Verdict::counted;
    const bool fallIgnored = fall && fall->verdict != Verdict::counted && fallIsCrash(*fall);
    const bool counted = (force && force->verdict == Verdict::counted) ||
                         (fall && fall->verdict == Verdict::counted);
    return !counted && (forceIgnored || fallIgnored);
}

FrameCrashes crashesOf(const FrameRecord& record, const FrameRecord& previous) {
    const ReplayFrame& row = record.row;
    const ReplayFrame& before = previous.row;
    const FrameDecision& decision = record.decision;
    const bool watched = decision.gate == FrameGate::watched;
    const Verdict gate = gateVerdict(decision.gate);
    FrameCrashes crashes;
    const bool forceCounted = decision.duckStarted && decision.forceAbove;
    if ((row.impact > 0.0f && row.impact != before.impact) || forceCounted) {
        crashes.force = {row.impact, row.health,
                         watched ? impactVerdict(decision, decision.forceAbove) : gate};
    }
    const bool fallCounted = decision.duckStarted && decision.fallAbove;
    const bool gameFall =
        row.vehicle != 0 && row.vehicle == before.vehicle && row.health < before.health;
    if (gameFall || fallCounted) {
        // The plug-in measures a fall from the health it last read, which a pause or a frame
        // without a player kept from frames ago.
        const bool measured = watched && !decision.newVehicle;
        crashes.fall = measured ? Crash{decision.previousHealth - decision.health, decision.health,
                                        fallVerdict(decision)}
                                : Crash{before.health - row.health, row.health,
                                        watched ? fallVerdict(decision) : gate};
    }
    return crashes;
}

CrashMark crashMarkOf(const FrameRecord& record, const FrameRecord& previous) {
    if (record.decision.duckStarted) return CrashMark::counted;
    return crashesOf(record, previous).ignored() ? CrashMark::ignored : CrashMark::none;
}

FrameRecord beforeFirst(const std::vector<FrameRecord>& records) {
    FrameRecord loaded;
    if (!records.empty()) {
        loaded.row.health = records.front().row.health;
        loaded.row.vehicle = records.front().row.vehicle;
    }
    return loaded;
}

Verdict roofVerdict(const FrameDecision& decision) {
    if (decision.gate != FrameGate::watched) return gateVerdict(decision.gate);
    switch (decision.roof) {
        case RoofAnswer::notAsked:  // a running duck ends the frame before the probe
            return Verdict::alreadyDucked;
        case RoofAnswer::switchedOff:
            return Verdict::tunnelStaticOff;
        case RoofAnswer::noRoof:
            return Verdict::noRoofFound;
        case RoofAnswer::tooLow:
            return Verdict::roofTooLow;
        case RoofAnswer::tooHigh:
            return Verdict::roofTooHigh;
        case RoofAnswer::underRoof:
            break;
    }
    return Verdict::counted;
}

DriveCollisions collisionsOf(const std::vector<FrameRecord>& records) {
    DriveCollisions found;
    const FrameRecord loaded = beforeFirst(records);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord& record = records[i];
        const ReplayFrame& row = record.row;
        const FrameRecord& previous = i > 0 ? records[i - 1] : loaded;
        const ReplayFrame& before = previous.row;
        const FrameCrashes crashes = crashesOf(record, previous);
        if (crashes.force) {
            found.collisions.push_back(
                {row.frame, record.time, crashes.force->value, crashes.force->verdict});
        }
        if (isCrashOfHealth(crashes)) {
            found.collisions.push_back({row.frame, record.time, crashes.fall->value,
                                        crashes.fall->verdict, Cause::healthFall});
        }
        const float gap = row.roofZ - row.z;
        const bool newRoof =
            row.roofFound && (i == 0 || !before.roofFound || gap != before.roofZ - before.z);
        if (row.vehicle != 0 && newRoof) {
            found.roofs.push_back({row.frame, record.time, gap, roofVerdict(record.decision)});
        }
    }
    return found;
}

std::string verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::counted:
            return "counted";
        case Verdict::belowThreshold:
            return "below the threshold";
        case Verdict::fromNoHealth:
            return "from a health of 0 or less";
        case Verdict::firstVehicleFrame:
            return "first frame of a vehicle";
        case Verdict::alreadyDucked:
            return "already ducked";
        case Verdict::paused:
            return "paused";
        case Verdict::outOfVehicle:
            return "out of the vehicle";
        case Verdict::ignoredStatus:
            return "status " + std::to_string(ineligibleStatus) + " or more";
        case Verdict::notStarted:
            return "the plug-in had not started";
        case Verdict::roofTooLow:
            return floatText(roofMinGap) + " or less up";
        case Verdict::roofTooHigh:
            return floatText(roofMaxGap) + " or more up";
        case Verdict::noRoofFound:
            return "no roof found";
        case Verdict::tunnelStaticOff:
            return "tunnel static off";
    }
    return "";
}
