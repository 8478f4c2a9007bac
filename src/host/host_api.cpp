#include "host/host_api.h"

#ifdef _WIN32
namespace {

// Fixed addresses in the one game build the plug-in is made for (it is not relocated).
constexpr HostAddress queryActorAddress = 0x4BC120;
constexpr HostAddress queryVehicleAddress = 0x4BC1E0;
constexpr HostAddress findRoofZAddress = 0x4D51D0;
constexpr HostAddress setRadioVolumeAddress = 0x5F9C90;
constexpr HostAddress audioObjectAddress = 0xA10B8A;
constexpr HostAddress suspendFlagAddress = 0x8696A0;

template <typename Function>
Function at(HostAddress address) {
    return reinterpret_cast<Function>(address);
}

}  // namespace

HostApi hostApi = {
    at<decltype(HostApi::queryActor)>(queryActorAddress),
    at<decltype(HostApi::queryVehicle)>(queryVehicleAddress),
    at<decltype(HostApi::findRoofZ)>(findRoofZAddress),
    at<decltype(HostApi::setRadioVolume)>(setRadioVolumeAddress),
    reinterpret_cast<void*>(audioObjectAddress),
    reinterpret_cast<const volatile std::uint8_t*>(suspendFlagAddress),
};
#else
HostApi hostApi = {};
#endif

std::uint8_t readSuspendFlag() {
    return *hostApi.suspendFlag;
}

HostAddress queryActor() {
    return hostApi.queryActor();
}

HostAddress queryVehicle() {
    return hostApi.queryVehicle();
}

float findRoofZ(float x, float y, float z, std::uint8_t* found) {
    return hostApi.findRoofZ(x, y, z, found);
}

void setRadioVolume(std::uint8_t volume) {
    hostApi.setRadioVolume(hostApi.audioObject, volume);
}
