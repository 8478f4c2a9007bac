#include "recorder/frame_reader.h"

#include "controller/effect_constants.h"
#include "host/vehicle_record.h"
#include "platform/fault_guard.h"
#include "platform/win32_api.h"

bool FrameReader::read(RecordedRow& row) {
    if (nextFrame == maxRecordedFrames) return false;
    row = lastRead();
    row.frame = nextFrame;
    row.tick = GetTickCount();
    row.impact = 0.0f;
    bool vehiclesFull = false;
    bool whole = guarded([&] {
        row.suspend = readSuspendFlag();
        if (row.suspend != 0) return;
        RecordedRow read = noVehicleRow;
        read.frame = row.frame;
        read.tick = row.tick;
        read.actor = static_cast<std::uint32_t>(queryActor());
        HostAddress vehicle = queryVehicle();
        if (vehicle != 0) {
            VehicleRecord record(vehicle);
            read.status = record.status();
            read.health = record.health();
            read.impact = record.impactForce();
            Position position = record.position();
            read.x = position.x;
            read.y = position.y;
            read.z = position.z;
            // The roof query exactly as the plug-in makes it, so the replay answers it alike.
            std::uint8_t found = 0;
            read.roofZ = findRoofZ(position.x, position.y, position.z + roofProbeLift, &found);
            read.roofFound = found != 0;
            read.vehicle = vehicles.numberOf(vehicle);
            vehiclesFull = read.vehicle == 0;
        }
        row = read;
    });
    if (vehiclesFull) return false;
    if (whole && row.suspend == 0) {
        last = row;
        anyRead = true;
    }
    ++nextFrame;
    return true;
}
