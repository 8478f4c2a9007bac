// The plug-in's view of a game vehicle record: the fields it reads, at their byte offsets in the
// game's layout. Fields are copied out with memcpy, never read through a struct whose layout the
// compiler would choose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/host_api.h"

struct Position {
    float x, y, z;  // z is height
};

class VehicleRecord {
  public:
    static constexpr std::size_t positionOffset = 0x34;  // x, y, z at 0x34, 0x38, 0x3C
    static constexpr std::size_t impactForceOffset = 0x104;
    static constexpr std::size_t healthOffset = 0x204;
    static constexpr std::size_t statusOffset = 0x23C;

    explicit VehicleRecord(HostAddress address) : address(address) {}

    Position position() const {
        return {field<float>(positionOffset), field<float>(positionOffset + 4),
                field<float>(positionOffset + 8)};
    }
    float impactForce() const { return field<float>(impactForceOffset); }  // latest collision
    float health() const { return field<float>(healthOffset); }
    std::uint8_t status() const { return field<std::uint8_t>(statusOffset); }

  private:
    template <typename T>
    T field(std::size_t offset) const {
        T value;
        std::memcpy(&value, reinterpret_cast<const void*>(address + offset), sizeof value);
        return value;
    }

    HostAddress address;
};
