#include "controller/controller.h"

#include "common/next_random.h"
#include "common/plugin_directory.h"
#include "config/settings.h"
#include "controller/effect_constants.h"
#include "host/vehicle_record.h"
#include "platform/fault_guard.h"
#include "platform/win32_api.h"
#include "sound/sound_player.h"

ControllerState controllerState;
FrameDecision frameDecision;
PathText settingsPath;

namespace {

ControllerState& controller = controllerState;
const EffectSettings& settings = effectSettings;
FrameDecision& decision = frameDecision;

void resetIfActive() {
    if (controller.state != EffectState::Idle) resetEffects();
}

// The radio level as the game takes it: truncated toward zero, low 8 bits.
void pushRadioLevel() {
    setRadioVolume(static_cast<std::uint8_t>(static_cast<std::int32_t>(controller.radioLevel)));
}

// minImpactMs plus a random part of the span up to maxImpactMs; a draw is at most 32767, so no
// duck outlasts minImpactMs + 32767 ms.
std::uint32_t drawImpactDuration() {
    if (settings.maxImpactMs <= settings.minImpactMs) return settings.minImpactMs;
    std::uint32_t span = settings.maxImpactMs - settings.minImpactMs + 1;
    std::uint32_t draw = nextRandom();
    // The span wraps to 0 only for the whole 32-bit range, where any draw fits.
    return settings.minImpactMs + (span == 0 ? draw : draw % span);
}

void enterImpactDuck(std::uint32_t now) {
    controller.state = EffectState::ImpactDuck;
    stopNoise();
    playImpactSound(settings.volumeDamage);
    controller.radioLevel = settings.radioDuckVolume;
    setRadioVolume(settings.radioDuckVolume);
    controller.impactDuration = drawImpactDuration();
    controller.duckStart = now;
    controller.impactDeadline = now + controller.impactDuration;
    decision.duckStarted = true;
    decision.duckMs = controller.impactDuration;
}

bool duckRunning(std::uint32_t now) {
    return now - controller.duckStart < controller.impactDuration;
}

void rampDownUnderRoof() {
    controller.state = EffectState::TunnelStatic;
    playNoise(settings.volumeNoise);
    const float target = settings.tunnelDuckVolume;
    // Only ever lowers: after a duck below the tunnel level the radio stays there.
    if (controller.radioLevel > target) {
        float lowered = controller.radioLevel - radioRampStep;
        controller.radioLevel = lowered > target ? lowered : target;
    }
    pushRadioLevel();
}

void rampUpOutside() {
    if (controller.state == EffectState::TunnelStatic) {
        stopNoise();
        controller.state = EffectState::Idle;
    }
    if (controller.radioLevel < fullRadioVolume) {
        float raised = controller.radioLevel + radioRampStep;
        controller.radioLevel = raised < fullRadioVolume ? raised : fullRadioVolume;
        pushRadioLevel();
    }
}

// Whether this frame's readings are an impact, by force or by a fall of health; both tests are
// kept in the decision. Strict float comparisons: NaN never counts.
bool isImpact(float impactForce, float previousHealth, float health) {
    decision.impactForce = impactForce;
    decision.previousHealth = previousHealth;
    decision.health = health;
    const bool forceAbove = impactForce > settings.impactIntensity;
    const bool fallAbove = previousHealth > 0.0f && previousHealth - health > healthDropThreshold;
    decision.forceAbove = forceAbove;
    decision.fallAbove = fallAbove;
    return forceAbove || fallAbove;
}

// A frame after startUp: everything that reads the game's memory or calls into the game.
void runFrame() {
    if (readSuspendFlag() != 0) {
        decision.gate = FrameGate::paused;
        resetIfActive();
        return;
    }
    HostAddress actor = queryActor();
    HostAddress vehicle = queryVehicle();
    if (actor == 0 || vehicle == 0) {
        decision.gate = FrameGate::nothingToWatch;
        resetIfActive();
        controller.lastVehicle = 0;
        return;
    }
    VehicleRecord record(vehicle);
    if (record.status() >= ineligibleStatus) {
        decision.gate = FrameGate::ineligibleStatus;
        resetIfActive();
        controller.lastVehicle = vehicle;
        controller.lastHealth = record.health();  // so a fall while ineligible never counts
        return;
    }

    decision.gate = FrameGate::watched;
    float health = record.health();
    float impactForce = record.impactForce();
    float previousHealth = controller.lastHealth;
    decision.newVehicle = vehicle != controller.lastVehicle;
    if (decision.newVehicle) {
        controller.lastVehicle = vehicle;
        previousHealth = health;  // a change of vehicle is no fall of health
    }
    bool impact = isImpact(impactForce, previousHealth, health);
    controller.lastHealth = health;  // also during a duck, so one fall counts once at most
    std::uint32_t now = GetTickCount();

    // An impact during a duck is ignored, also in the frame in which the duck ends.
    decision.duckRunning = controller.state == EffectState::ImpactDuck;
    if (impact && !decision.duckRunning) enterImpactDuck(now);
    if (controller.state == EffectState::ImpactDuck) {
        if (duckRunning(now)) {
            setRadioVolume(settings.radioDuckVolume);
            return;
        }
        stopImpactSounds();
        controller.state = EffectState::Idle;
        decision.duckEnded = true;
    }

    if (!settings.tunnelStaticEnabled) decision.roof = RoofAnswer::switchedOff;
    if (settings.tunnelStaticEnabled && probeTunnel(vehicle)) {
        rampDownUnderRoof();
    } else {
        rampUpOutside();
    }
}

}  // namespace

void onFrame() noexcept {
    decision = FrameDecision{};
    decision.stateBefore = controller.state;
    // A start-up that failed leaves started false and is tried again on the next frame. Once
    // started, the frame spends no guard on it.
    if (!controller.started) guarded(startUp);
    if (controller.started) guarded(runFrame);
    decision.stateAfter = controller.state;
}

void startUp() {
    if (controller.started) return;
    locateSettingsFile(pluginDirectory.view(), settingsPath);
    readSettings(settingsPath.c_str(), effectSettings);
    openSounds(pluginDirectory.view());
    controller.state = EffectState::Idle;
    controller.radioLevel = fullRadioVolume;
    controller.started = true;
}

void resetEffects() {
    stopAllSounds();
    controller.radioLevel = fullRadioVolume;
    setRadioVolume(fullRadioVolume);
    controller.state = EffectState::Idle;
}

void shutDown() noexcept {
    // Runs in the unload callback, possibly while the game tears down: a fault in the volume push
    // must not keep the audio library open.
    guarded(resetEffects);
    guarded(closeSounds);
    controller.state = EffectState::Idle;  // also when the reset was cut short
    controller.started = false;
}

bool probeTunnel(HostAddress record) noexcept {
    decision.roof = RoofAnswer::noRoof;
    if (record == 0) return false;
    guarded([&] {
        Position position = VehicleRecord(record).position();
        std::uint8_t found = 0;
        float roofHeight = findRoofZ(position.x, position.y, position.z + roofProbeLift, &found);
        if (found == 0) return;
        float gap = roofHeight - position.z;
        decision.roofGap = gap;
        // A gap that is not a number is in no window: too low, as the comparison falls.
        decision.roof = !(gap > roofMinGap)   ? RoofAnswer::tooLow
                        : !(gap < roofMaxGap) ? RoofAnswer::tooHigh
                                              : RoofAnswer::underRoof;
    });
    return decision.roof == RoofAnswer::underRoof;
}
