#include "host/host_api.h"

#ifdef _WIN32
#include "host/game_addresses.h"

// Written as plain casts of the addresses, so the table is filled at compile time: nothing of the
// plug-in runs before the load handler (see dll_main_win32.cpp).
HostApi hostApi = {
    reinterpret_cast<decltype(HostApi::queryActor)>(gameAddress::queryActor),
    reinterpret_cast<decltype(HostApi::queryVehicle)>(gameAddress::queryVehicle),
    reinterpret_cast<decltype(HostApi::findRoofZ)>(gameAddress::findRoofZ),
    reinterpret_cast<decltype(HostApi::setRadioVolume)>(gameAddress::setRadioVolume),
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
