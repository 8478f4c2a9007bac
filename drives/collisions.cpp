#include "drives/collisions.h"

#include "controller/effect_constants.h"

namespace {

// What keeps a frame from counting anything at all, or counted when nothing does.
Verdict eligibility(const ReplayFrame& row) {
    if (row.suspend != 0) return Verdict::paused;
    if (row.vehicle == 0 || row.actor == 0) return Verdict::outOfVehicle;
    if (row.status >= ineligibleStatus) return Verdict::ignoredStatus;
    return Verdict::counted;
}

Verdict collisionVerdict(const FrameRecord& record, const FrameRecord& previous,
                         const EffectSettings& settings) {
    const Verdict eligible = eligibility(record.row);
    if (eligible != Verdict::counted) return eligible;
    // Strict, as the plug-in compares: a force that is not a number never counts.
    if (!(record.row.impact > settings.impactIntensity)) return Verdict::belowThreshold;
    return record.duckMs || previous.state != EffectState::ImpactDuck ? Verdict::counted
                                                                      : Verdict::alreadyDucked;
}

Verdict roofVerdict(const FrameRecord& record, const EffectSettings& settings) {
    const Verdict eligible = eligibility(record.row);
    if (eligible != Verdict::counted) return eligible;
    if (!settings.tunnelStaticEnabled) return Verdict::tunnelStaticOff;
    const float gap = record.row.roofZ - record.row.z;
    if (!(gap > roofMinGap)) return Verdict::roofTooLow;
    if (!(gap < roofMaxGap)) return Verdict::roofTooHigh;
    // During a duck the plug-in asks for no roof; the roof counts once the duck is over.
    return record.state == EffectState::ImpactDuck ? Verdict::alreadyDucked : Verdict::counted;
}

}  // namespace

DriveCollisions collisionsOf(const std::vector<FrameRecord>& records,
                             const EffectSettings& settings) {
    DriveCollisions found;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FrameRecord& record = records[i];
        const ReplayFrame& row = record.row;
        const FrameRecord* previous = i > 0 ? &records[i - 1] : nullptr;
        const ReplayFrame before = previous != nullptr ? previous->row : ReplayFrame{};
        if (row.impact > 0.0f && (previous == nullptr || row.impact != before.impact)) {
            found.collisions.push_back(
                {row.frame, record.time, row.impact,
                 collisionVerdict(record, previous != nullptr ? *previous : FrameRecord{},
                                  settings)});
        }
        const float gap = row.roofZ - row.z;
        const bool newRoof = row.roofFound && (previous == nullptr || !before.roofFound ||
                                               gap != before.roofZ - before.z);
        if (row.vehicle != 0 && newRoof) {
            found.roofs.push_back({row.frame, record.time, gap, roofVerdict(record, settings)});
        }
    }
    return found;
}

const char* verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::counted:
            return "counted";
        case Verdict::belowThreshold:
            return "below the threshold";
        case Verdict::alreadyDucked:
            return "already ducked";
        case Verdict::paused:
            return "paused";
        case Verdict::outOfVehicle:
            return "out of the vehicle";
        case Verdict::ignoredStatus:
            return "status 10 or more";
        case Verdict::roofTooLow:
            return "1.2 or less up";
        case Verdict::roofTooHigh:
            return "25 or more up";
        case Verdict::tunnelStaticOff:
            return "tunnel static off";
    }
    return "";
}
