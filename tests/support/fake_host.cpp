#include "tests/support/fake_host.h"

#include <sys/mman.h>

#include "platform/win32_api.h"
#include "tests/support/call_log.h"

namespace {

FakeWorld fake;
FakeHostCalls counted;

void touchUnmapped() {
    volatile std::uint8_t* nowhere =
        reinterpret_cast<volatile std::uint8_t*>(fakeHost::unreadableAddress());
    *nowhere = 1;
}

HostAddress fakeQueryActor() {
    if (callLogging) logCall("queryActor");
    return fake.actor;
}

HostAddress fakeQueryVehicle() {
    if (callLogging) logCall("queryVehicle");
    if (fake.faultInQueryVehicle) touchUnmapped();
    return fake.vehicle;
}

float fakeFindRoofZ(float x, float y, float z, std::uint8_t* found) {
    ++counted.roofProbes;
    if (callLogging) logCall("findRoofZ", {floatText(x), floatText(y), floatText(z)});
    if (fake.faultInFindRoofZ) touchUnmapped();
    if (fake.roofFound) *found = 1;
    return fake.roofHeight;
}

void fakeSetRadioVolume(void*, std::uint32_t volume) {
    ++counted.radioPushes;
    if (callLogging) logCall("setRadioVolume", {std::to_string(volume)});
    if (fake.faultInSetRadioVolume) touchUnmapped();
}

DWORD fakeTicks() {
    return fake.tick;
}

}  // namespace

namespace fakeHost {

void install() {
    fake = FakeWorld{};
    counted = FakeHostCalls{};
    hostApi = HostApi{fakeQueryActor,     fakeQueryVehicle, fakeFindRoofZ,
                      fakeSetRadioVolume, nullptr,          &fake.suspendFlag};
    platform::setTickSource(fakeTicks);
}

FakeWorld& world() {
    return fake;
}

const FakeHostCalls& calls() {
    return counted;
}

HostAddress unreadableAddress() {
    static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return reinterpret_cast<HostAddress>(page);
}

}  // namespace fakeHost
