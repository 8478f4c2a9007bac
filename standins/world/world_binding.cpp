#include "standins/world/world_binding.h"

#include "platform/win32_api.h"

namespace {

// The world that hostApi and GetTickCount answer from while a binding lasts.
World* bound = nullptr;

HostAddress boundQueryActor() {
    return bound->queryActor();
}
HostAddress boundQueryVehicle() {
    return bound->queryVehicle();
}
float boundFindRoofZ(float x, float y, float z, std::uint8_t* found) {
    return bound->findRoofZ(x, y, z, found);
}
void boundSetRadioVolume(void*, std::uint32_t volume) {
    bound->setRadioVolume(volume);
}
DWORD boundTicks() {
    return bound->getTickCount();
}

}  // namespace

WorldBinding::WorldBinding(World& world) {
    bound = &world;
    hostApi = HostApi{boundQueryActor,     boundQueryVehicle, boundFindRoofZ,
                      boundSetRadioVolume, nullptr,           world.suspendFlag()};
    platform::setTickSource(boundTicks);
}

WorldBinding::~WorldBinding() {
    platform::setTickSource(nullptr);
    hostApi = HostApi{};
    bound = nullptr;
}
