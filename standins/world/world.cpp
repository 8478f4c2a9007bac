#include "standins/world/world.h"

#include <cstring>

#include "host/vehicle_record.h"

namespace {

template <typename T>
void put(std::byte* record, std::size_t offset, T value) {
    std::memcpy(record + offset, &value, sizeof value);
}

}  // namespace

World::World(Trace& trace) : trace(trace) {}

void World::enterFrame(const ReplayFrame& row) {
    current = row;
    suspend = row.suspend;
    volumeSet = false;
    currentRecord = nullptr;
    if (row.vehicle != 0) {
        std::unique_ptr<Record>& record = records[row.vehicle];
        if (record == nullptr) record = std::make_unique<Record>();
        currentRecord = record.get();
        std::byte* bytes = currentRecord->bytes.data();
        put(bytes, VehicleRecord::positionOffset, row.x);
        put(bytes, VehicleRecord::positionOffset + 4, row.y);
        put(bytes, VehicleRecord::positionOffset + 8, row.z);
        put(bytes, VehicleRecord::impactForceOffset, row.impact);
        put(bytes, VehicleRecord::healthOffset, row.health);
        put(bytes, VehicleRecord::statusOffset, row.status);
    }
    trace.enterFrame(row.frame, row.tick);
}

void World::leaveFrames() {
    volumeSet = false;
    trace.leaveFrames();
}

HostAddress World::queryActor() {
    if (listener) listener({HostCall::Kind::queryActor});
    trace.queryActor();
    return current.actor;
}

HostAddress World::queryVehicle() {
    if (listener) listener({HostCall::Kind::queryVehicle});
    trace.queryVehicle();
    return staleRecord != 0 ? staleRecord : reinterpret_cast<HostAddress>(currentRecord);
}

float World::findRoofZ(float x, float y, float z, std::uint8_t* found) {
    if (listener) listener({HostCall::Kind::findRoofZ, x, y, z});
    trace.findRoofZ(x, y, z);
    if (current.roofFound) *found = 1;
    return current.roofZ;
}

void World::setRadioVolume(std::uint32_t argument) {
    if (listener) listener({HostCall::Kind::setRadioVolume, 0.0f, 0.0f, 0.0f, argument});
    volume = static_cast<std::uint8_t>(argument & 0xFF);
    volumeSet = true;
    trace.setRadioVolume(volume);
}

std::uint32_t World::getTickCount() {
    trace.getTickCount();
    return current.tick;
}
