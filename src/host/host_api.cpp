#include "host/host_api.h"

#ifdef _WIN32
#include "host/game_addresses.h"

namespace {

template <typename Function>
Function at(HostAddress address) {
    return reinterpret_cast<Function>(address);
}

}  // namespace

HostApi hostApi = {
    at<decltype(HostApi::queryActor)>(gameAddress::queryActor),
    at<decltype(HostApi::queryVehicle)>(gameAddress::queryVehicle),
    at<decltype(HostApi::findRoofZ)>(gameAddress::findRoofZ),
    at<decltype(HostApi::setRadioVolume)>(gameAddress::setRadioVolume),
    reinterpret_cast<void*>(gameAddress::audioObject),
    reinterpret_cast<const volatile std::uint8_t*>(gameAddress::suspendFlag),
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
