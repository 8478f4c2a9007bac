#include "bench/quiet_host.h"

#include "platform/win32_api.h"

namespace {

FakeWorld quiet;
QuietHostCalls counted;

HostAddress quietQueryActor() {
    return quiet.actor;
}

HostAddress quietQueryVehicle() {
    return quiet.vehicle;
}

float quietFindRoofZ(float, float, float, std::uint8_t* found) {
    ++counted.roofProbes;
    if (quiet.roofFound) *found = 1;
    return quiet.roofHeight;
}

void quietSetRadioVolume(void*, std::uint32_t) {
    ++counted.radioPushes;
}

DWORD quietTicks() {
    return quiet.tick;
}

}  // namespace

namespace quietHost {

void install() {
    quiet = FakeWorld{};
    counted = QuietHostCalls{};
    hostApi = HostApi{quietQueryActor,     quietQueryVehicle, quietFindRoofZ,
                      quietSetRadioVolume, nullptr,           &quiet.suspendFlag};
    platform::setTickSource(quietTicks);
}

FakeWorld& world() {
    return quiet;
}

const QuietHostCalls& calls() {
    return counted;
}

}  // namespace quietHost
